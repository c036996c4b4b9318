// Send and Check from a message window on real loopback connections: what a run shows in its
// window, what it refuses while it goes on, and a window that goes while its run waits.
#include <QTcpServer>

#include "MessageWindowFixture.h"
#include "platform/FileLock.h"

class TestMessageWindowRuns : public QObject, private MessageWindowFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { InitTestCase(); }
    void init() { Init(); }
    void cleanup() { Cleanup(); }
    void noteSentToItselfEndToEnd();
    void checkFromTheWindow();
    void busyWindowRefusesCommandsAndClose();
    void nothingGoesOutWithoutAName();
    void windowGoesAtOnceWhileItsRunWaits_data();
    void windowGoesAtOnceWhileItsRunWaits();
    void recentListsNeverHoldUpTheWindows();
    void errorSoundIsTheOneTheRunStartedWith();
};

namespace {

// Threads of this process, as the system counts them.
int ThreadCount() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    }
    return -1;
}

}  // namespace

void TestMessageWindowRuns::noteSentToItselfEndToEnd() {
    // The hub listens on the configured port; a note addressed to it arrives in this program.
    const qint32 port = static_cast<qint32>(m_copy->app->GetSettings().m_nPort);
    WriteWholeFile(m_data + QStringLiteral("me.add"),
                   "Just me\r\nMe;127.0.0.1;" + QByteArray::number(port) +
                       ";\r\nNobody;127.0.0.1;" + QByteArray::number(FreePort()) + ";");
    CMessageWindow* window = Compose();
    Child<QListWidget>(window, "bookList")
        ->setCurrentRow(window->Listing().m_descriptions.indexOf(QStringLiteral("Just me")));
    window->OnCommand(CMessageWindow::ID_SELECT);
    window->OnCommand(CMessageWindow::ID_TO);
    Child<QPlainTextEdit>(window, "noteArea")->setPlainText(QStringLiteral("Hello from myself"));
    QSignalSpy finished(window, &CMessageWindow::runFinished);
    window->OnCommand(CMessageWindow::ID_SEND);
    QVERIFY(window->IsBusy());
    QVERIFY(WaitFor([&] { return finished.count() == 1; }, 15000));
    QVERIFY(!window->IsBusy());
    QVERIFY(window->IsCommandEnabled(CMessageWindow::ID_SEND));  // Send stays possible
    QCOMPARE(window->windowTitle(), QStringLiteral("Send Message"));
    QVERIFY(WaitFor(
        [&] {
            return !m_incoming.isEmpty() && m_incoming.last() && m_incoming.last()->isVisible();
        },
        5000));

    const QString log = LogText();
    const qsizetype outgoing = log.indexOf(
        QStringLiteral("------------------------ Outgoing Message ------------------------ "));
    const qsizetype failed = log.indexOf(QStringLiteral("Nobody is not listening..."));
    const qsizetype incoming = log.indexOf(
        QStringLiteral("------------------------ Incoming Message ------------------------ "));
    QVERIFY(outgoing >= 0 && failed > outgoing && incoming > outgoing);
    QVERIFY(log.contains(QStringLiteral("\nTO: Me;Nobody;\nFROM: Me Myself at ")));
    QVERIFY(log.contains(QStringLiteral("\nHello from myself\n")));
    QCOMPARE(Child<QProgressBar>(window, "progressBar")->value(), 1);
    QCOMPARE(Child<QProgressBar>(window, "progressBar")->maximum(), 2);
    QVERIFY(
        m_copy->sounds.Calls().contains(QStringLiteral("beep 1000 300")));  // one failed recipient
    // Both sides put the other onto Last Senders: the sender's reached recipient, the
    // receiver's sender (the same program here).
    QVERIFY(WaitFor(
        [&] { return ReadWholeFile(m_data + QStringLiteral("LS.add")).contains("\r\nMe"); }, 5000));
}

void TestMessageWindowRuns::checkFromTheWindow() {
    const qint32 port = static_cast<qint32>(m_copy->app->GetSettings().m_nPort);
    WriteWholeFile(m_data + QStringLiteral("me.add"),
                   "Just me\r\nMe;127.0.0.1;" + QByteArray::number(port) + ";");
    CMessageWindow* window = Compose();
    Child<QListWidget>(window, "bookList")
        ->setCurrentRow(window->Listing().m_descriptions.indexOf(QStringLiteral("Just me")));
    auto* addresses = Child<QListWidget>(window, "addressList");
    addresses->setCurrentRow(0);
    addresses->item(0)->setSelected(true);
    QSignalSpy finished(window, &CMessageWindow::runFinished);
    window->OnCommand(CMessageWindow::ID_CHECK);
    QVERIFY(WaitFor([&] { return finished.count() == 1; }, 15000));
    QCOMPARE(window->AddressItems().first().m_strFullName, QStringLiteral("Me Myself"));
    addresses->setCurrentRow(0);
    Q_EMIT addresses->currentItemChanged(addresses->item(0), nullptr);
    QCOMPARE(Child<QLineEdit>(window, "statusLine")->text(),
             QStringLiteral("REAL NAME: Me Myself"));
    QVERIFY(m_copy->sounds.Calls().isEmpty());  // everyone answered
}

void TestMessageWindowRuns::busyWindowRefusesCommandsAndClose() {
    // An address that accepts and never answers keeps a check running for a while.
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost, 0);
    CMessageWindow* window = ComposeTo("Mute", silent.serverPort());
    window->OnCommand(CMessageWindow::ID_CHECK);
    QVERIFY(window->IsBusy());
    m_copy->sounds.Clear();
    window->OnCommand(CMessageWindow::ID_ERASE);
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    QCOMPARE(m_copy->sounds.Calls().size(), 2);  // one error sound each
    QVERIFY(!Child<QListWidget>(window, "addressList")->isEnabled());
    // The window goes with the program: its run is stopped at once.
    QElapsedTimer clock;
    clock.start();
    delete window;
    QVERIFY(clock.elapsed() < 5000);
}

void TestMessageWindowRuns::nothingGoesOutWithoutAName() {
    // A receiver would see a note from nobody: "@127.0.0.1", a From line of ";".
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost, 0));
    m_copy->app->GetSettings().m_strFullName.clear();
    CMessageWindow* window = ComposeTo("Anna", peer.serverPort());
    window->OnCommand(CMessageWindow::ID_TO);
    Child<QPlainTextEdit>(window, "noteArea")->setPlainText(QStringLiteral("Who am I?"));
    const QString logBefore = LogText();
    for (const int command : {int(CMessageWindow::ID_SEND), int(CMessageWindow::ID_CHECK)}) {
        m_questions.clear();
        window->OnCommand(command);
        QCOMPARE(m_questions,
                 QStringList{QStringLiteral("Please select File/Preferences to enter your name.")});
        QVERIFY(!window->IsBusy());
    }
    QTest::qWait(200);
    QVERIFY(!peer.hasPendingConnections());
    QCOMPARE(LogText(), logBefore);
    QCOMPARE(Child<QPlainTextEdit>(window, "noteArea")->toPlainText(), QStringLiteral("Who am I?"));

    // Once a name is set, the same window sends.
    m_copy->app->GetSettings().m_strFullName = QStringLiteral("Me Myself");
    window->OnCommand(CMessageWindow::ID_SEND);
    QVERIFY(WaitFor([&] { return peer.hasPendingConnections(); }, 5000));
}

void TestMessageWindowRuns::windowGoesAtOnceWhileItsRunWaits_data() {
    QTest::addColumn<bool>("send");
    QTest::newRow("check") << false;
    QTest::newRow("send") << true;
}

void TestMessageWindowRuns::windowGoesAtOnceWhileItsRunWaits() {
    // The program ends while a run waits in a connect with a long "Socket Timeout": the window
    // goes at once and its run ends with it, instead of reaching the freed window later.
    QFETCH(bool, send);
    const HangingListener hanging;
    m_copy->app->GetSettings().m_nSocketTimeout = 100;
    const int threadsBefore = ThreadCount();
    CMessageWindow* window = ComposeTo("Far", hanging.Port());
    if (send) {
        window->OnCommand(CMessageWindow::ID_TO);
        window->OnCommand(CMessageWindow::ID_SEND);
    } else {
        window->OnCommand(CMessageWindow::ID_CHECK);
    }
    QVERIFY(window->IsBusy());
    QTest::qWait(300);
    QElapsedTimer clock;
    clock.start();
    delete window;
    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(
        WaitFor([&] { return ThreadCount() <= threadsBefore; }, 5000),
        qPrintable(QStringLiteral("%1 threads, %2 before").arg(ThreadCount()).arg(threadsBefore)));
}

void TestMessageWindowRuns::recentListsNeverHoldUpTheWindows() {
    // Another process holds Last Senders while notes come and go: the windows go on at once,
    // and the list is written once it is free.
    FileLock held(m_data + QStringLiteral(".LS.add.lock"));
    QVERIFY(held.Lock(1000));
    QElapsedTimer clock;
    clock.start();
    QTcpSocket peer;
    CMessageWindow* received =
        Receive(Records(NoteFrom(QStringLiteral("Anna"), QStringLiteral("10.1.2.3"),
                                 QStringLiteral("6001"), QStringLiteral("Lunch?"))),
                peer);
    QVERIFY(received);
    QVERIFY(WaitFor([&] { return received->isVisible(); }, 5000));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));

    CMessageWindow* window =
        ComposeTo("Me", static_cast<quint16>(m_copy->app->GetSettings().m_nPort));
    window->OnCommand(CMessageWindow::ID_TO);
    QSignalSpy finished(window, &CMessageWindow::runFinished);
    clock.restart();
    window->OnCommand(CMessageWindow::ID_SEND);
    QVERIFY(WaitFor([&] { return finished.count() == 1; }, 15000));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));

    held.Unlock();
    QVERIFY(WaitFor(
        [&] {
            const QByteArray list = ReadWholeFile(m_data + QStringLiteral("LS.add"));
            return list.contains("\r\nAnna;10.1.2.3;6001;") && list.contains("\r\nMe;");
        },
        15000));
}

void TestMessageWindowRuns::errorSoundIsTheOneTheRunStartedWith() {
    // The run never reads the settings that Preferences may be writing meanwhile: it plays
    // the error sound the settings held when it started.
    m_copy->sounds.SetHasOutputDevice(true);
    const HangingListener hanging;
    m_copy->app->GetSettings().m_nSocketTimeout = 1;
    CMessageWindow* window = ComposeTo("Far", hanging.Port());
    QSignalSpy finished(window, &CMessageWindow::runFinished);
    window->OnCommand(CMessageWindow::ID_CHECK);
    QVERIFY(window->IsBusy());
    m_copy->app->GetSettings().m_strErrorSound = QStringLiteral("/changed.wav");
    QVERIFY(WaitFor([&] { return finished.count() == 1; }, 10000));
    QCOMPARE(m_copy->sounds.Calls(), QStringList{QStringLiteral("builtin 203")});
}

QUILLPAD_TEST_GUI_MAIN(TestMessageWindowRuns)
#include "TestMessageWindowRuns.moc"
