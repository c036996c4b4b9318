// Records over real loopback connections: the note socket on both sides, the listening
// socket, and the send and check runs.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QScopeGuard>
#include <QSet>
#include <QTcpServer>
#include <QtTest>
#include <array>
#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "net/CListeningSocket.h"
#include "net/CNoteSocket.h"
#include "net/NoteExchange.h"
#include "net/NoteRuns.h"

namespace {

// The receiving side as the program has it: accepted connections read into note sockets.
class Acceptor : public QObject {
public:
    explicit Acceptor(QString checkAnswer = QString(), bool answerChecks = true)
        : m_answer(std::move(checkAnswer)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this, answerChecks] {
            while (QTcpSocket* accepted = m_server.nextPendingConnection()) {
                auto* socket = new CNoteSocket(this);
                socket->Attach(accepted);
                const int connection = m_nConnections++;
                QObject::connect(socket, &CNoteSocket::recordReceived, this,
                                 [this, socket, connection, answerChecks](const CMsg& msg) {
                                     m_records.append({connection, msg});
                                     if (msg.m_dwCode == MSG_CHECK && answerChecks)
                                         socket->SendMsg(CheckAnswer(msg, m_answer));
                                 });
                QObject::connect(socket, &CNoteSocket::readError, this,
                                 [this] { ++m_nReadErrors; });
                QObject::connect(socket, &CNoteSocket::closed, this, [this, socket] {
                    ++m_nClosed;
                    socket->deleteLater();
                });
            }
        });
    }
    quint16 Port() const { return m_server.serverPort(); }

    QTcpServer m_server;
    QString m_answer;
    QList<QPair<int, CMsg>> m_records;
    int m_nConnections = 0;
    int m_nClosed = 0;
    int m_nReadErrors = 0;
};

// Records what a run reports, from whatever thread the run is on.
class RecordingReporter : public IRunReporter {
public:
    void RunStarted() override { Add(QStringLiteral("started")); }
    void RunFinished() override { Add(QStringLiteral("finished")); }
    void SetStatus(const QString& text) override { Add(QStringLiteral("status ") + text); }
    void SetProgressRange(int count) override { Add(QStringLiteral("range %1").arg(count)); }
    void StepProgress() override { Add(QStringLiteral("step")); }
    void AppendLog(const QString& line) override { Add(QStringLiteral("log ") + line); }
    void PlayErrorSound() override { Add(QStringLiteral("error sound")); }
    void RecipientReached(const AddressEntry& entry) override {
        Add(QStringLiteral("reached ") + entry.m_strName);
    }
    void SetMark(int index, int mark) override {
        Add(QStringLiteral("mark %1 %2").arg(index).arg(mark));
    }
    void SetFullName(int index, const QString& name) override {
        Add(QStringLiteral("name %1 %2").arg(index).arg(name));
    }

    QStringList Calls() const {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

private:
    void Add(const QString& call) {
        QMutexLocker lock(&m_mutex);
        m_calls.append(call);
    }
    mutable QMutex m_mutex;
    QStringList m_calls;
};

// A port on which nothing listens (bound, then let go).
// Runs work on a thread of its own while this thread's event loop serves the acceptor.
bool RunBeside(const std::function<void()>& work, int timeoutMs) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    const bool finished = WaitFor([&] { return done.load(); }, timeoutMs);
    worker.join();
    return finished;
}

}  // namespace

class TestNoteTransport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void connectFailures();
    void connectThatHangsEndsAtTheTimeout();
    void cancelEndsEveryWait_data();
    void cancelEndsEveryWait();
    void listeningErrors();
    void burstBeyondTheWaitingLimitLosesNothing();
    void acceptedRecordsArriveWholeAndInOrder();
    void heldConnectionKeepsEverythingUntilResumed_data();
    void heldConnectionKeepsEverythingUntilResumed();
    void takingGoesOnWhenFilesRanOut();
    void brokenPeersEndTheConnection_data();
    void brokenPeersEndTheConnection();
    void sendRunWithAMiddleRecipientNotListening();
    void noteLongerThanReceiversTakeIsNotSent();
    void checkRun();
    void checkTakesAtMostTwoHundred();
};

void TestNoteTransport::connectFailures() {
    QString error;
    CNoteSocket refused;
    QVERIFY(!refused.ConnectTo(&error, QStringLiteral("127.0.0.1"), FreePort(), 5));
    QCOMPARE(error, QStringLiteral("Error connecting to remote machine"));
    // A port beyond 65535 is not wrapped into another one (70001 would be 4465).
    Acceptor wrapped;
    for (const qint64 port :
         {qint64(0), qint64(65536) + wrapped.Port(), qint64(9999999), qint64(-1)}) {
        CNoteSocket socket;
        error.clear();
        QVERIFY(!socket.ConnectTo(&error, QStringLiteral("127.0.0.1"), port, 5));
        QCOMPARE(error, QStringLiteral("Error connecting to remote machine"));
    }
    QTest::qWait(50);
    QCOMPARE(wrapped.m_nConnections, 0);
}

void TestNoteTransport::connectThatHangsEndsAtTheTimeout() {
    const HangingListener hanging;
    QVERIFY(hanging.Port() != 0);
    QElapsedTimer clock;
    clock.start();
    CNoteSocket socket;
    QString error;
    QVERIFY(!socket.ConnectTo(&error, QStringLiteral("127.0.0.1"), hanging.Port(), 1));
    QCOMPARE(error, QStringLiteral("Error connecting to remote machine"));
    QVERIFY2(clock.elapsed() >= 900 && clock.elapsed() < TestTime(5000),
             qPrintable(QString::number(clock.elapsed())));
}

void TestNoteTransport::cancelEndsEveryWait_data() {
    QTest::addColumn<QString>("wait");
    QTest::newRow("connect that hangs") << QStringLiteral("connect");
    QTest::newRow("write that stalls") << QStringLiteral("write");
    QTest::newRow("answer that never comes") << QStringLiteral("answer");
}

void TestNoteTransport::cancelEndsEveryWait() {
    // The program ends while a run waits: each of its waits must give up soon after the
    // cancel, whatever time limit it has of its own.
    QFETCH(QString, wait);
    const HangingListener hanging;
    // A peer that takes the connection and never reads: its small receive buffer fills.
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 4096;
    ::setsockopt(silent, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    QVERIFY(::listen(silent, 4) == 0);
    QVERIFY(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    const quint16 port =
        wait == QStringLiteral("connect") ? hanging.Port() : ntohs(address.sin_port);

    std::atomic<bool> cancelled{false};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        CNoteSocket socket;
        socket.SetCancelCheck([&cancelled] { return cancelled.load(); });
        if (socket.ConnectTo(nullptr, QStringLiteral("127.0.0.1"), port, 20)) {
            if (wait == QStringLiteral("write")) {
                // The system's buffers take a few MiB before a write has to wait.
                const CMsg record(MSG_TEXT, QByteArray(CMsg::kMaxTextBytes, 'w'));
                for (int i = 0; i < 64 && !cancelled; ++i) {
                    if (!socket.SendMsg(record))
                        break;
                }
            } else {
                CMsg answer;
                socket.ReceiveMsg(answer, 20000);
            }
        }
        done = true;
    });
    const auto finish = qScopeGuard([&] {
        cancelled = true;
        worker.join();
        ::close(silent);
    });
    QThread::msleep(500);
    QVERIFY(!done);
    QElapsedTimer sinceCancel;
    sinceCancel.start();
    cancelled = true;
    QVERIFY(WaitFor([&] { return done.load(); }, 40000));
    const qint64 elapsed = sinceCancel.elapsed();
    QVERIFY2(elapsed < TestTime(2500), qPrintable(QString::number(elapsed)));
}

void TestNoteTransport::listeningErrors() {
    CListeningSocket first;
    QString error;
    const quint16 port = FreePort();
    QVERIFY(first.StartListening(port, &error));
    QCOMPARE(first.Port(), port);
    CListeningSocket second;
    QVERIFY(!second.StartListening(port, &error));
    QCOMPARE(error, QStringLiteral("Error: Can't create socket to listen at port %1").arg(port));
    QVERIFY(!second.StartListening(9999999, &error));
    QCOMPARE(error, QStringLiteral("Error: Can't create socket to listen at port 9999999"));
    QVERIFY(!second.IsListening());

    // Connections are taken as they come and handed over as sockets of this thread.
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(peer.waitForConnected(5000));
    QVERIFY(WaitFor([&] { return first.findChildren<QTcpSocket*>().isEmpty(); }, 100));
    QTcpSocket* taken = nullptr;
    QVERIFY(WaitFor([&] { return (taken = first.NextPendingConnection()) != nullptr; }, 5000));
    QCOMPARE(taken->thread(), QThread::currentThread());
    QCOMPARE(taken->state(), QAbstractSocket::ConnectedState);
    delete taken;
}

// More connections than may wait at once, each with its note written before the program
// takes it: the program stops taking them while it is behind, and reads every one in the end.
void TestNoteTransport::burstBeyondTheWaitingLimitLosesNothing() {
    CListeningSocket listening;
    QString error;
    QVERIFY(listening.StartListening(FreePort(), &error));
    constexpr int kSenders = CListeningSocket::kMaxWaiting + CListeningSocket::kBacklog + 40;
    std::vector<std::unique_ptr<QTcpSocket>> senders;
    for (int i = 0; i < kSenders; ++i) {
        senders.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket* sender = senders.back().get();
        connect(sender, &QTcpSocket::connected, sender,
                [sender, i] { sender->write(QByteArray::number(i) + '\n'); });
        sender->connectToHost(QHostAddress::LocalHost, listening.Port());
    }
    // Let the burst arrive before anything is taken.
    QTest::qWait(500);
    QSet<int> read;
    std::vector<std::unique_ptr<QTcpSocket>> taken;
    WaitFor(
        [&] {
            while (QTcpSocket* next = listening.NextPendingConnection())
                taken.emplace_back(next);
            for (auto& socket : taken) {
                if (socket && socket->canReadLine()) {
                    read.insert(socket->readLine().trimmed().toInt());
                    socket.reset();
                }
            }
            return read.size() == kSenders;
        },
        20000);
    QCOMPARE(read.size(), kSenders);
}

void TestNoteTransport::acceptedRecordsArriveWholeAndInOrder() {
    Acceptor acceptor;
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, acceptor.Port());
    QVERIFY(peer.waitForConnected(5000));
    const QByteArray stream =
        CMsg(MSG_SENDER_NAME, QByteArray("Ann")).Encode() + CMsg(0x5555, QByteArray("?")).Encode() +
        CMsg(MSG_TEXT, QByteArray(1000, 't')).Encode() + CMsg(MSG_END).Encode();
    // Split in the middle of the third record, the rest arriving later in one piece.
    peer.write(stream.left(20));
    peer.waitForBytesWritten(1000);
    QVERIFY(WaitFor([&] { return acceptor.m_records.size() == 2; }, 5000));
    QTest::qWait(50);
    QCOMPARE(acceptor.m_records.size(), 2);  // the split record waits for its rest
    peer.write(stream.mid(20));
    peer.waitForBytesWritten(1000);
    QVERIFY(WaitFor([&] { return acceptor.m_records.size() == 4; }, 5000));
    QCOMPARE(acceptor.m_records[2].second.m_strData, QByteArray(1000, 't'));
    QCOMPARE(acceptor.m_records[3].second.m_dwCode, quint32(MSG_END));
    peer.disconnectFromHost();
    QVERIFY(WaitFor([&] { return acceptor.m_nClosed == 1; }, 5000));
    QCOMPARE(acceptor.m_nReadErrors, 0);
}

// A connection held after its first record: whatever arrives after it, and the peer's close,
// wait until it is resumed, then come in order and whole, however much was written meanwhile.
void TestNoteTransport::heldConnectionKeepsEverythingUntilResumed_data() {
    QTest::addColumn<int>("textBytes");
    QTest::addColumn<bool>("firstIsFinal");
    QTest::newRow("a note, its peer closing meanwhile") << 100 << false;
    QTest::newRow("more than is buffered while held") << 300000 << false;
    QTest::newRow("a final first record") << 0 << true;
}

void TestNoteTransport::heldConnectionKeepsEverythingUntilResumed() {
    QFETCH(int, textBytes);
    QFETCH(bool, firstIsFinal);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(server.waitForNewConnection(5000));
    CNoteSocket socket;
    socket.Attach(server.nextPendingConnection());
    QList<CMsg> records;
    int closed = 0;
    connect(&socket, &CNoteSocket::recordReceived, this, [&](const CMsg& msg) {
        records.append(msg);
        if (records.size() == 1)
            socket.Hold();
    });
    connect(&socket, &CNoteSocket::closed, this, [&] { ++closed; });
    QByteArray stream = CMsg(MSG_SENDER_NAME, QByteArray("Ann"), firstIsFinal ? 1 : 0).Encode();
    if (!firstIsFinal) {
        stream += CMsg(MSG_TEXT, QByteArray(textBytes, 't')).Encode() +
                  CMsg(MSG_END, QByteArray(), 0).Encode();
    }
    peer.write(stream);
    // Written in full although the held side reads no more than its buffer.
    QVERIFY(WaitFor([&] { return peer.bytesToWrite() == 0; }, 10000));
    peer.disconnectFromHost();
    QTest::qWait(300);
    QCOMPARE(records.size(), 1);
    QCOMPARE(closed, 0);
    QVERIFY(socket.IsHeld());
    socket.Resume();
    QVERIFY(WaitFor([&] { return closed == 1; }, 10000));
    if (firstIsFinal) {
        QCOMPARE(records.size(), 1);
    } else {
        QCOMPARE(records.size(), 3);
        QCOMPARE(records[1].m_strData.size(), textBytes);
        QCOMPARE(records[2].m_dwCode, quint32(MSG_END));
    }
}

// Connections that come while the process has no file left for them are taken once files are
// free again: the copy does not stop listening for good.
void TestNoteTransport::takingGoesOnWhenFilesRanOut() {
    CListeningSocket listening;
    QString error;
    QVERIFY(listening.StartListening(FreePort(), &error));
    constexpr int kPeers = 5;
    // The peers' sockets are made first; then no file is left in this process.
    std::array<int, kPeers> peers{};
    for (int& peer : peers) {
        peer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(peer >= 0);
    }
    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
    // Files are numbered from the lowest free number: below it, none is free.
    const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    QVERIFY(lowestFree >= 0);
    ::close(lowestFree);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &tight) == 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(listening.Port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (const int peer : peers) {
        QCOMPARE(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QCOMPARE(::write(peer, "x", 1), ssize_t(1));
    }
    QTest::qWait(3 * CListeningSocket::kRetryMs);
    QVERIFY(::setrlimit(RLIMIT_NOFILE, &saved) == 0);
    int taken = 0;
    QVERIFY(WaitFor(
        [&] {
            while (QTcpSocket* next = listening.NextPendingConnection()) {
                ++taken;
                delete next;
            }
            return taken == kPeers;
        },
        5000));
    for (const int peer : peers)
        ::close(peer);
}

void TestNoteTransport::brokenPeersEndTheConnection_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("closeAfterwards");
    QTest::addColumn<int>("readErrors");
    QTest::addColumn<int>("records");
    const QByteArray good = CMsg(MSG_BEGIN).Encode();
    QTest::newRow("more than 1 MiB announced") << good + QByteArray::fromHex(
                                                             "0000"
                                                             "00010003"
                                                             "ffffff"
                                                             "01001000")
                                               << false << 1 << 1;
    QTest::newRow("stalled partial record")
        << good + CMsg(MSG_TEXT, QByteArray(50, 'p')).Encode().left(20) << false << 1 << 1;
    QTest::newRow("closed in the middle")
        << good + CMsg(MSG_TEXT, QByteArray(50, 'p')).Encode().left(20) << true << 0 << 1;
    QTest::newRow("final record") << CMsg(MSG_CHECK, QByteArray(), 1).Encode() + good << false << 0
                                  << 1;
}

void TestNoteTransport::brokenPeersEndTheConnection() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, closeAfterwards);
    QFETCH(int, readErrors);
    QFETCH(int, records);
    Acceptor acceptor(QString(), false);
    QObject::connect(&acceptor.m_server, &QTcpServer::newConnection, &acceptor, [&acceptor] {
        for (CNoteSocket* socket : acceptor.findChildren<CNoteSocket*>())
            socket->SetPartialRecordTimeout(300);
    });
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, acceptor.Port());
    QVERIFY(peer.waitForConnected(5000));
    peer.write(bytes);
    peer.waitForBytesWritten(1000);
    if (closeAfterwards)
        peer.disconnectFromHost();
    QVERIFY(WaitFor([&] { return acceptor.m_nClosed == 1; }, 5000));
    QCOMPARE(acceptor.m_nReadErrors, readErrors);
    QCOMPARE(acceptor.m_records.size(), records);  // nothing after the damage is acted upon
}

void TestNoteTransport::sendRunWithAMiddleRecipientNotListening() {
    Acceptor acceptor;
    const QList<AddressEntry> recipients = {
        {QStringLiteral("Anna"), QStringLiteral("127.0.0.1"), acceptor.Port()},
        {QStringLiteral("Bert"), QStringLiteral("127.0.0.1"), FreePort()},
        {QStringLiteral("Cleo"), QStringLiteral("localhost"), acceptor.Port()}};
    OutgoingNote note{QStringLiteral("Anna;Bert;Cleo;"), QStringLiteral("Meeting at 3"), QString(),
                      QString()};
    const NoteIdentity me{
        QStringLiteral("Me"), QStringLiteral("Here"), QString(), QString(), QString(), 6001};
    RecordingReporter reporter;
    bool allReached = true;
    QVERIFY(RunBeside([&] { allReached = NoteRuns::RunSend(recipients, note, me, 5, reporter); },
                      30000));
    QVERIFY(!allReached);
    const QStringList calls = reporter.Calls();
    QCOMPARE(calls.mid(0, 8), (QStringList{QStringLiteral("started"), QStringLiteral("range 3"),
                                           QStringLiteral("status Sending your note to Anna..."),
                                           QStringLiteral("reached Anna"), QStringLiteral("step"),
                                           QStringLiteral("status Sending your note to Bert..."),
                                           QStringLiteral("log Bert is not listening..."),
                                           QStringLiteral("status Sending your note to Cleo...")}));
    QCOMPARE(calls.mid(8, 3), (QStringList{QStringLiteral("reached Cleo"), QStringLiteral("step"),
                                           QStringLiteral("error sound")}));
    QVERIFY(calls[11].startsWith(QStringLiteral("status ")));  // the time stamp
    QCOMPARE(calls.last(), QStringLiteral("finished"));
    QCOMPARE(calls.count(QStringLiteral("step")), 2);

    // Both reached recipients got the whole note, 11 records each (one profile line).
    QVERIFY(WaitFor([&] { return acceptor.m_nClosed == 2; }, 5000));
    QCOMPARE(acceptor.m_records.size(), 22);
    QCOMPARE(acceptor.m_records[1].second.Text(),
             QStringLiteral("127.0.0.1"));  // the sender's own address
    QCOMPARE(acceptor.m_records[10].second.m_dwCode, quint32(MSG_END));
    QCOMPARE(note.m_strFromLine, QStringLiteral("FROM: Anna;Bert;Cleo;"));
}

void TestNoteTransport::noteLongerThanReceiversTakeIsNotSent() {
    // Sent, it would be reported as reached and then dropped by every receiver.
    Acceptor acceptor;
    const QList<AddressEntry> recipients = {
        {QStringLiteral("Anna"), QStringLiteral("127.0.0.1"), acceptor.Port()}};
    OutgoingNote note{QStringLiteral("Anna;"), QString(CMsg::kMaxTextBytes + 1, u'x'), QString(),
                      QString()};
    const NoteIdentity me{QStringLiteral("Me"), QString(), QString(), QString(), QString(), 6001};
    RecordingReporter reporter;
    bool allReached = true;
    QVERIFY(RunBeside([&] { allReached = NoteRuns::RunSend(recipients, note, me, 5, reporter); },
                      30000));
    QVERIFY(!allReached);
    const QStringList calls = reporter.Calls();
    QVERIFY2(calls.contains(QStringLiteral("error sound")), qPrintable(calls.join(u'|')));
    QVERIFY(!calls.contains(QStringLiteral("reached Anna")));
    QVERIFY(!calls.contains(QStringLiteral("step")));
    QVERIFY(calls.filter(QStringLiteral("log ")).size() == 1);
    QCOMPARE(calls.last(), QStringLiteral("finished"));
    QTest::qWait(100);
    QCOMPARE(acceptor.m_nConnections, 0);
}

void TestNoteTransport::checkRun() {
    Acceptor answering(QStringLiteral("Ann Example"));
    Acceptor silent(QString(), false);
    const QList<CheckTarget> targets = {
        {4, {QStringLiteral("ann"), QStringLiteral("127.0.0.1"), answering.Port()}},
        {7, {QStringLiteral("gone"), QStringLiteral("127.0.0.1"), FreePort()}},
        {9, {QStringLiteral("mute"), QStringLiteral("127.0.0.1"), silent.Port()}}};
    RecordingReporter reporter;
    bool allAnswered = true;
    QVERIFY(RunBeside([&] { allAnswered = NoteRuns::RunCheck(targets, 5, reporter, 500); }, 30000));
    QVERIFY(!allAnswered);
    const QStringList calls = reporter.Calls();
    QCOMPARE(calls.mid(0, 12),
             (QStringList{QStringLiteral("started"), QStringLiteral("range 3"),
                          QStringLiteral("status Checking ann..."), QStringLiteral("mark 4 1"),
                          QStringLiteral("name 4 Ann Example"), QStringLiteral("step"),
                          QStringLiteral("status Checking gone..."), QStringLiteral("mark 7 0"),
                          QStringLiteral("step"), QStringLiteral("status Checking mute..."),
                          QStringLiteral("mark 9 1"), QStringLiteral("name 9 ")}));
    QCOMPARE(calls.count(QStringLiteral("error sound")), 1);
    QCOMPARE(calls.last(), QStringLiteral("finished"));
    QCOMPARE(answering.m_records.size(), 1);
    QCOMPARE(answering.m_records[0].second.m_dwCode, quint32(MSG_CHECK));

    RecordingReporter nothing;
    QVERIFY(NoteRuns::RunCheck({}, 5, nothing));
    QVERIFY(nothing.Calls().isEmpty());
}

void TestNoteTransport::checkTakesAtMostTwoHundred() {
    QList<CheckTarget> targets;
    const quint16 port = FreePort();
    for (int i = 0; i < 201; ++i)
        targets.append({i, {QStringLiteral("n%1").arg(i), QStringLiteral("127.0.0.1"), port}});
    RecordingReporter reporter;
    QVERIFY(RunBeside([&] { NoteRuns::RunCheck(targets, 5, reporter); }, 60000));
    const QStringList calls = reporter.Calls();
    QCOMPARE(calls[1], QStringLiteral("range 200"));
    QCOMPARE(calls.count(QStringLiteral("step")), 200);
    QVERIFY(!calls.contains(QStringLiteral("mark 200 0")));
}

QUILLPAD_TEST_MAIN(TestNoteTransport)
#include "TestNoteTransport.moc"
