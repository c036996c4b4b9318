// Message windows on real loopback connections: composing, the record table, reply mode, the
// counters and the connections the program must survive.
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <QtWidgets>
#include <clocale>

#include "ManualTimer.h"
#include "ProgramCopy.h"
#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "app/CQuillpadApp.h"
#include "message/CMessageWindow.h"
#include "message/MessageServices.h"
#include "message/NoteBlocks.h"
#include "net/CListeningSocket.h"
#include "net/CMsg.h"
#include "net/NoteExchange.h"
#include "platform/FileLock.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadView.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"
#include "shell/WindowPlacementStore.h"

namespace {

QByteArray Records(const QList<CMsg>& records) {
    QByteArray bytes;
    for (const CMsg& msg : records)
        bytes += msg.Encode();
    return bytes;
}

// The records of a note as another copy sends them.
QList<CMsg> NoteFrom(const QString& name, const QString& address, const QString& port,
                     const QString& body, const QString& quote = QString()) {
    NoteIdentity sender{name,        QStringLiteral("Room 4"), QString(), QString(), QString(),
                        port.toInt()};
    OutgoingNote note{QStringLiteral("Me;"), body, quote, QString()};
    QList<CMsg> records = BuildNoteRecords(sender, address, note);
    records[2] = CMsg(MSG_SENDER_PORT, port);
    return records;
}

template <typename T>
T* Child(QWidget* parent, const char* name) {
    return parent->findChild<T*>(QLatin1String(name));
}

}  // namespace

class TestMessageWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void freshWindowAndBooks();
    void toolbarCommands();
    void incomingNoteAndReply();
    void checkIsAnsweredUnseen();
    void noteSentToItselfEndToEnd();
    void checkFromTheWindow();
    void connectionsThatMustNotHurt();
    void everyWaitingConnectionIsServed();
    void longNoteIsCutInTheWindowOnly();
    void typedNoteStaysWithinTheNoteArea();
    void recordsAfterTheEndAreIgnored();
    void linesArriveWithEitherLineEnd_data();
    void linesArriveWithEitherLineEnd();
    void busyWindowRefusesCommandsAndClose();
    void everyWayOfClosingClosesOnce_data();
    void nothingGoesOutWithoutAName();
    void notesShareTheMainWindowsBand();
    void everyWayOfClosingClosesOnce();
    void windowGoesAtOnceWhileItsRunWaits_data();
    void windowGoesAtOnceWhileItsRunWaits();
    void recentListsNeverHoldUpTheWindows();
    void errorSoundIsTheOneTheRunStartedWith();
    void addressBookQuestionOnlyForCompose();
    void placementsFollowTheWindowCount();

private:
    CMessageWindow* Compose();
    // A compose window on a book of one address, which is selected.
    CMessageWindow* ComposeTo(const QByteArray& name, quint16 port);
    CMessageWindow* Receive(const QByteArray& bytes, QTcpSocket& peer);
    QString LogText() const { return m_copy->workspace->HubView()->document()->toPlainText(); }

    std::unique_ptr<ProgramCopy> m_copy;
    QList<QPointer<CMessageWindow>> m_incoming;
    QStringList m_questions;
    bool m_answerYes = false;
    QString m_data;
};

void TestMessageWindow::initTestCase() {
    std::setlocale(LC_TIME, "C");
    MessageBox::SetAnswerer([this](QMessageBox::Icon, const QString& text) {
        m_questions.append(text);
        return m_answerYes ? QMessageBox::Yes : QMessageBox::No;
    });
}

void TestMessageWindow::init() {
    const TestHome& home = CurrentTestHome();
    QDir(home.DataDirectory()).removeRecursively();
    m_copy = std::make_unique<ProgramCopy>(home.StorePath(), CopyStore("Me Myself", FreePort(), 2));
    m_data = m_copy->Data();
    connect(m_copy->services.get(), &MessageServices::incomingWindowCreated, this,
            [this](CMessageWindow* window) { m_incoming.append(window); });
    QVERIFY(m_copy->Hub());
    m_incoming.clear();
    m_questions.clear();
    m_answerYes = false;
    m_copy->sounds.Clear();
}

void TestMessageWindow::cleanup() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CMessageWindow::DestroyAll();
    m_copy.reset();
}

CMessageWindow* TestMessageWindow::Compose() {
    m_copy->services->SendMessage(*m_copy->workspace->HubView());
    return m_copy->services->LastComposeWindow();
}

CMessageWindow* TestMessageWindow::ComposeTo(const QByteArray& name, quint16 port) {
    WriteWholeFile(m_data + QStringLiteral("one.add"),
                   "Only " + name + "\r\n" + name + ";127.0.0.1;" + QByteArray::number(port) + ";");
    CMessageWindow* window = Compose();
    Child<QListWidget>(window, "bookList")
        ->setCurrentRow(window->Listing().m_descriptions.indexOf(QStringLiteral("Only ") +
                                                                 QString::fromLatin1(name)));
    window->OnCommand(CMessageWindow::ID_SELECT);
    return window;
}

CMessageWindow* TestMessageWindow::Receive(const QByteArray& bytes, QTcpSocket& peer) {
    const int before = static_cast<int>(m_incoming.size());
    peer.connectToHost(QHostAddress::LocalHost,
                       static_cast<quint16>(m_copy->app->GetSettings().m_nPort));
    if (!peer.waitForConnected(5000))
        return nullptr;
    peer.write(bytes);
    peer.waitForBytesWritten(2000);
    if (!WaitFor([&] { return m_incoming.size() > before; }, 5000))
        return nullptr;
    return m_incoming.last();
}

void TestMessageWindow::freshWindowAndBooks() {
    WriteWholeFile(m_data + QStringLiteral("sales.add"),
                   "Sales floor\r\nZed;10.0.0.9;6001;\r\nAnna;10.1.2.3;6001;");
    WriteWholeFile(m_data + QStringLiteral("empty.add"), "Only a description");
    CMessageWindow* window = Compose();
    QVERIFY(window->isVisible());
    QCOMPARE(m_copy->app->m_nMessageWindowCount, 1);
    for (int id = CMessageWindow::ID_TO; id <= CMessageWindow::ID_EXIT; ++id)
        QCOMPARE(window->IsCommandEnabled(id), id >= CMessageWindow::ID_ERASE);
    QCOMPARE(window->Listing().m_descriptions,
             (QStringList{QStringLiteral("Last Senders"), QStringLiteral("On-Lines"),
                          QStringLiteral("Only a description"), QStringLiteral("Sales floor")}));
    auto* books = Child<QListWidget>(window, "bookList");
    auto* addresses = Child<QListWidget>(window, "addressList");
    books->setCurrentRow(3);
    QCOMPARE(addresses->count(), 2);
    QCOMPARE(addresses->item(0)->text(), QStringLiteral("Anna"));  // sorted
    QVERIFY(window->IsCommandEnabled(CMessageWindow::ID_SELECT));
    QVERIFY(!window->IsCommandEnabled(CMessageWindow::ID_TO));
    addresses->item(1)->setSelected(true);
    QVERIFY(window->IsCommandEnabled(CMessageWindow::ID_TO));
    QVERIFY(window->IsCommandEnabled(CMessageWindow::ID_CHECK));
    // Another book empties the list and disables what followed the selection.
    books->setCurrentRow(2);
    QCOMPARE(addresses->count(), 0);
    QVERIFY(window->IsCommandEnabled(CMessageWindow::ID_SELECT));
    QVERIFY(!window->IsCommandEnabled(CMessageWindow::ID_TO));
    QVERIFY(!window->IsCommandEnabled(CMessageWindow::ID_CHECK));

    // Tool tips, and the names by which code finds the controls.
    auto* check = Child<QToolButton>(window, "checkButton");
    QVERIFY(check);
    QCOMPARE(check->toolTip(), QStringLiteral("Check to see if your friend is listening to you"));
    QCOMPARE(check->text(), QStringLiteral("Check"));
    QVERIFY(Child<QPlainTextEdit>(window, "noteArea"));
    QVERIFY(Child<QLineEdit>(window, "statusLine"));

    window->OnCommand(CMessageWindow::ID_EXIT);
    QVERIFY(WaitFor([&] { return m_copy->app->m_nMessageWindowCount == 0; }, 2000));
}

void TestMessageWindow::toolbarCommands() {
    WriteWholeFile(m_data + QStringLiteral("team.add"),
                   "Team\r\nAnna;10.1.2.3;6001;\r\nBen;10.1.2.4;6002;");
    CMessageWindow* window = Compose();
    auto* books = Child<QListWidget>(window, "bookList");
    auto* addresses = Child<QListWidget>(window, "addressList");
    auto* field = Child<QPlainTextEdit>(window, "recipientField");
    books->setCurrentRow(window->Listing().m_descriptions.indexOf(QStringLiteral("Team")));
    window->OnCommand(CMessageWindow::ID_SELECT);
    QCOMPARE(addresses->selectedItems().size(), 2);
    window->OnCommand(CMessageWindow::ID_TO);
    window->OnCommand(CMessageWindow::ID_TO);  // the same addresses twice go in twice
    QCOMPARE(field->toPlainText(), QStringLiteral("Anna;Ben;Anna;Ben;"));
    QCOMPARE(window->Recipients().size(), 4);
    QCOMPARE(Child<QGroupBox>(window, "recipientGroup")->title(), QStringLiteral("To:"));
    QVERIFY(window->IsCommandEnabled(CMessageWindow::ID_SEND));
    QCOMPARE(addresses->selectedItems().size(), 2);  // the selection stays

    window->OnCommand(CMessageWindow::ID_CLEAR);
    QVERIFY(field->toPlainText().isEmpty());
    QVERIFY(window->Recipients().isEmpty());
    QVERIFY(addresses->selectedItems().isEmpty());
    QVERIFY(!window->IsCommandEnabled(CMessageWindow::ID_SEND));
    QVERIFY(!window->IsCommandEnabled(CMessageWindow::ID_TO));

    // A double click adds the address under the caret and deselects it.
    addresses->setCurrentRow(1);
    addresses->item(1)->setSelected(true);
    Q_EMIT addresses->itemDoubleClicked(addresses->item(1));
    QCOMPARE(field->toPlainText(), QStringLiteral("Ben;"));
    QCOMPARE(window->Recipients().first().m_entry,
             (AddressEntry{QStringLiteral("Ben"), QStringLiteral("10.1.2.4"), 6002}));
    QVERIFY(!addresses->item(1)->isSelected());
    QVERIFY(window->IsCommandEnabled(CMessageWindow::ID_CLEAR));
    QVERIFY(!window->IsCommandEnabled(CMessageWindow::ID_CHECK));

    Child<QPlainTextEdit>(window, "noteArea")->setPlainText(QStringLiteral("draft"));
    window->OnCommand(CMessageWindow::ID_ERASE);
    QVERIFY(Child<QPlainTextEdit>(window, "noteArea")->toPlainText().isEmpty());
}

void TestMessageWindow::incomingNoteAndReply() {
    QTcpSocket peer;
    CMessageWindow* window =
        Receive(Records(NoteFrom(QStringLiteral("Anna"), QStringLiteral("10.1.2.3"),
                                 QStringLiteral("6001"), QStringLiteral("Lunch at one?"))),
                peer);
    QVERIFY(window);
    QVERIFY(WaitFor([&] { return window->isVisible(); }, 5000));
    QCOMPARE(window->windowTitle(), QStringLiteral("Anna@10.1.2.3"));
    QCOMPARE(Child<QPlainTextEdit>(window, "recipientField")->toPlainText(),
             QStringLiteral("Anna;"));
    QCOMPARE(Child<QGroupBox>(window, "recipientGroup")->title(), QStringLiteral("From:"));
    QVERIFY(Child<QPlainTextEdit>(window, "noteArea")->isReadOnly());
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 1);
    QVERIFY(window->IsCommandEnabled(CMessageWindow::ID_REPLY));
    QCOMPARE(m_copy->sounds.Calls(),
             QStringList{QStringLiteral("beep 1000 300")});  // the Message sound
    QVERIFY(WaitFor(
        [&] {
            return ReadWholeFile(m_data + QStringLiteral("LS.add")) ==
                   QByteArray("Last Senders\r\nAnna;10.1.2.3;6001;");
        },
        5000));

    // The log: banner with its blanks, the receiver's own FROM line, TO line and empty line.
    const QString log = LogText();
    const QString from = NoteBlocks::FromLine(QStringLiteral("Anna"), QString());
    QVERIFY(
        log.contains(QStringLiteral("\n\n------------------------ Incoming Message "
                                    "------------------------ \n\nFROM: Anna at ")));
    QVERIFY(log.contains(QStringLiteral("\nTO: Me;\n\nLunch at one?\n\nLocation: Room 4\n")));
    const QString note = Child<QPlainTextEdit>(window, "noteArea")->toPlainText();
    QVERIFY(note.startsWith(from));
    QVERIFY(!note.contains(QStringLiteral("Incoming Message")));  // the banner is for the log only

    window->OnCommand(CMessageWindow::ID_REPLY);
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 0);
    QCOMPARE(window->windowTitle(), QStringLiteral("Reply Message"));
    QCOMPARE(Child<QGroupBox>(window, "recipientGroup")->title(), QStringLiteral("Reply To:"));
    QCOMPARE(window->Recipients().size(), 1);
    QCOMPARE(window->Recipients().first().m_entry,
             (AddressEntry{QStringLiteral("Anna"), QStringLiteral("10.1.2.3"), 6001}));
    QCOMPARE(window->FromLine(), QStringLiteral("FROM: Anna;"));
    QCOMPARE(window->QuotedText(), note);
    QVERIFY(Child<QPlainTextEdit>(window, "noteArea")->toPlainText().isEmpty());
    QVERIFY(!Child<QPlainTextEdit>(window, "noteArea")->isReadOnly());
    QVERIFY(window->IsCommandEnabled(CMessageWindow::ID_SEND));
    QVERIFY(!window->IsCommandEnabled(CMessageWindow::ID_REPLY));
    window->close();
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 0);  // answered: closing changes nothing
}

void TestMessageWindow::checkIsAnsweredUnseen() {
    const QString before = LogText();
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost,
                       static_cast<quint16>(m_copy->app->GetSettings().m_nPort));
    QVERIFY(peer.waitForConnected(5000));
    peer.write(CMsg(MSG_CHECK).Encode());
    const QByteArray answer = CheckAnswer(CMsg(MSG_CHECK), QStringLiteral("Me Myself")).Encode();
    QByteArray received;
    QVERIFY(WaitFor(
        [&] {
            peer.waitForReadyRead(10);
            received += peer.readAll();
            return received.size() >= answer.size();
        },
        5000));
    QCOMPARE(received, answer);
    QVERIFY(WaitFor(
        [&] {
            return peer.state() == QAbstractSocket::UnconnectedState ||
                   !peer.waitForDisconnected(10);
        },
        5000));
    // Answered without a window: nothing shown, logged or counted.
    QTest::qWait(50);
    QVERIFY(m_incoming.isEmpty());
    QCOMPARE(LogText(), before);
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 0);
    QCOMPARE(m_copy->app->m_nMessageWindowCount, 0);
}

void TestMessageWindow::noteSentToItselfEndToEnd() {
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

void TestMessageWindow::checkFromTheWindow() {
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

void TestMessageWindow::connectionsThatMustNotHurt() {
    // Garbage: the read error is logged and the connection closed; no record, no window.
    int accepted = 0;
    connect(m_copy->services.get(), &MessageServices::connectionAccepted, this,
            [&accepted] { ++accepted; });
    QTcpSocket garbage;
    garbage.connectToHost(QHostAddress::LocalHost,
                          static_cast<quint16>(m_copy->app->GetSettings().m_nPort));
    QVERIFY(garbage.waitForConnected(5000));
    garbage.write(QByteArray::fromHex("0000"
                                      "00010003"
                                      "fffeff") +
                  "junk");
    QVERIFY(
        WaitFor([&] { return LogText().contains(QStringLiteral("Error reading socket")); }, 5000));
    QVERIFY(m_incoming.isEmpty());

    // A sender that stops in the middle of a record and closes: nothing is shown.
    QTcpSocket half;
    QPointer<CMessageWindow> second(
        Receive(Records(NoteFrom(QStringLiteral("Half"), QStringLiteral("h"), QStringLiteral("1"),
                                 QStringLiteral("x")))
                    .left(40),
                half));
    QVERIFY(second);
    half.disconnectFromHost();
    QVERIFY(WaitFor([&] { return second.isNull(); }, 5000));  // discarded: no whole note

    // A flood of idle connections: 64 are read at a time and the others wait for their turn
    // (the listening socket closes what does not fit its queue); once the flood ends, the
    // program goes on receiving.
    const int before = accepted;
    QList<QTcpSocket*> flood;
    for (int i = 0; i < 70; ++i) {
        auto* socket = new QTcpSocket(this);
        socket->connectToHost(QHostAddress::LocalHost,
                              static_cast<quint16>(m_copy->app->GetSettings().m_nPort));
        QVERIFY(WaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }, 5000));
        flood.append(socket);
    }
    QVERIFY(WaitFor([&] { return accepted == before + 64; }, 5000));
    QTest::qWait(200);
    QCOMPARE(accepted, before + 64);
    qDeleteAll(flood);
    QVERIFY(WaitFor([&] { return accepted == before + 70; }, 5000));
    QTcpSocket after;
    QPointer<CMessageWindow> third(
        Receive(Records(NoteFrom(QStringLiteral("After"), QStringLiteral("a"), QStringLiteral("1"),
                                 QStringLiteral("still here"))),
                after));
    QVERIFY(third);
    QVERIFY(WaitFor([&] { return third && third->isVisible(); }, 5000));
}

namespace {

// Writes a check on peer and waits for its answer.
bool CheckAnswered(QTcpSocket& peer, int timeoutMs) {
    peer.write(CMsg(MSG_CHECK).Encode());
    QByteArray received;
    return WaitFor(
        [&] {
            if (peer.bytesAvailable() > 0)
                received += peer.readAll();
            return received.startsWith(
                CheckAnswer(CMsg(MSG_CHECK), QStringLiteral("Me Myself")).Encode());
        },
        timeoutMs);
}

}  // namespace

void TestMessageWindow::everyWaitingConnectionIsServed() {
    const quint16 port = static_cast<quint16>(m_copy->app->GetSettings().m_nPort);
    auto* listening = m_copy->Hub()->findChild<CListeningSocket*>();
    QVERIFY(listening);
    int accepted = 0;
    connect(m_copy->services.get(), &MessageServices::connectionAccepted, this,
            [&accepted] { ++accepted; });

    // A connection whose descriptor cannot be taken over does not hold up the one behind it.
    listening->QueueAccepted(std::numeric_limits<int>::max() - 1);
    QTcpSocket behind;
    behind.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(behind.waitForConnected(5000));
    QThread::msleep(300);  // queued by the accepting thread before this thread looks
    QVERIFY(CheckAnswered(behind, 5000));

    // All reading places taken, the last by a note whose window the user closes while its
    // connection is still open: the connection waiting next is taken at once.
    QList<QTcpSocket*> idle;
    const int before = accepted;
    for (int i = 0; i < MessageServices::kMaxReadingConnections - 1; ++i) {
        auto* socket = new QTcpSocket(this);
        socket->connectToHost(QHostAddress::LocalHost, port);
        idle.append(socket);
    }
    QVERIFY(WaitFor(
        [&] { return accepted == before + MessageServices::kMaxReadingConnections - 1; }, 5000));
    QTcpSocket noteSender;
    CMessageWindow* window =
        Receive(Records(NoteFrom(QStringLiteral("Anna"), QStringLiteral("10.1.2.3"),
                                 QStringLiteral("6001"), QStringLiteral("Still open"))),
                noteSender);
    QVERIFY(window);
    QVERIFY(WaitFor([&] { return window->isVisible(); }, 5000));
    QTcpSocket waiting;
    waiting.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(waiting.waitForConnected(5000));
    QTest::qWait(200);
    QCOMPARE(accepted, before + MessageServices::kMaxReadingConnections);  // it waits its turn
    window->close();
    QVERIFY(CheckAnswered(waiting, 5000));
    qDeleteAll(idle);
}

void TestMessageWindow::longNoteIsCutInTheWindowOnly() {
    const QString body = QString(70000, u'x');
    QTcpSocket peer;
    CMessageWindow* window = Receive(
        Records(NoteFrom(QStringLiteral("Long"), QStringLiteral("l"), QStringLiteral("1"), body)),
        peer);
    QVERIFY(window);
    QVERIFY(WaitFor([&] { return window->isVisible(); }, 10000));
    const QString shown = Child<QPlainTextEdit>(window, "noteArea")->toPlainText();
    QVERIFY(shown.size() <= CMessageWindow::kNoteAreaLimit + 100);
    QVERIFY(shown.endsWith(QStringLiteral("[... the rest of this note is in the log]")));
    QVERIFY(LogText().contains(body));
}

void TestMessageWindow::typedNoteStaysWithinTheNoteArea() {
    // A receiver drops a note longer than it accepts: what is typed or pasted beyond the note
    // area's limit is cut as it comes in, so nothing longer can be sent.
    CMessageWindow* window = Compose();
    auto* area = Child<QPlainTextEdit>(window, "noteArea");
    area->insertPlainText(QString(70000, u'x'));
    QCOMPARE(area->toPlainText().size(), CMessageWindow::kNoteAreaLimit);
    QTest::keyClicks(area, QStringLiteral("yz"));
    QCOMPARE(area->toPlainText().size(), CMessageWindow::kNoteAreaLimit);
    QVERIFY(!area->toPlainText().contains(u'y'));

    // Room for one unit only: a character that needs two is not cut in half.
    area->setPlainText(QString(CMessageWindow::kNoteAreaLimit - 2, u'x'));
    area->moveCursor(QTextCursor::Start);
    area->insertPlainText(QStringLiteral("a\U0001F600b"));
    QCOMPARE(area->toPlainText(),
             QStringLiteral("a") + QString(CMessageWindow::kNoteAreaLimit - 2, u'x'));
    // Below the limit, text can be deleted and typed again.
    area->moveCursor(QTextCursor::End);
    QTest::keyClick(area, Qt::Key_Backspace);
    QTest::keyClicks(area, QStringLiteral("z"));
    QVERIFY(area->toPlainText().endsWith(u'z'));
}

void TestMessageWindow::recordsAfterTheEndAreIgnored() {
    // A second end, a late line and a check after the note's end change nothing.
    QList<CMsg> records = NoteFrom(QStringLiteral("Anna"), QStringLiteral("10.1.2.3"),
                                   QStringLiteral("6001"), QStringLiteral("Once"));
    records << CMsg(MSG_END) << CMsg(MSG_TEXT, QByteArray("late line")) << CMsg(MSG_CHECK);
    QTcpSocket peer;
    QPointer<CMessageWindow> window(Receive(Records(records), peer));
    QVERIFY(window);
    QVERIFY(WaitFor([&] { return window && window->isVisible(); }, 5000));
    QTest::qWait(100);
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 1);
    QVERIFY(!Child<QPlainTextEdit>(window, "noteArea")
                 ->toPlainText()
                 .contains(QStringLiteral("late line")));
    QVERIFY(!LogText().contains(QStringLiteral("late line")));
    QCOMPARE(peer.bytesAvailable(), 0);  // the check after the end is not answered
    window->close();
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 0);  // the reminder can stop
}

void TestMessageWindow::linesArriveWithEitherLineEnd_data() {
    QTest::addColumn<QString>("body");
    QTest::newRow("CR LF") << QStringLiteral("first\r\nsecond\r\n\r\nlast");
    QTest::newRow("LF") << QStringLiteral("first\nsecond\n\nlast");
}

void TestMessageWindow::linesArriveWithEitherLineEnd() {
    QFETCH(QString, body);
    QList<CMsg> records = NoteFrom(QStringLiteral("Anna"), QStringLiteral("10.1.2.3"),
                                   QStringLiteral("6001"), QString(), QStringLiteral("q1\r\nq2"));
    records[records.size() - 4].m_strData = body.toUtf8();  // the body as the peer wrote it
    QTcpSocket peer;
    CMessageWindow* window = Receive(Records(records), peer);
    QVERIFY(window);
    QVERIFY(WaitFor([&] { return window->isVisible(); }, 5000));
    const QString shown = Child<QPlainTextEdit>(window, "noteArea")->toPlainText();
    QVERIFY2(shown.contains(QStringLiteral("q1\nq2\n")), qPrintable(shown));
    QVERIFY2(shown.contains(QStringLiteral("\nfirst\nsecond\n\nlast\n")), qPrintable(shown));
    QVERIFY(!shown.contains(u'\r'));
    QVERIFY(LogText().contains(QStringLiteral("\nfirst\nsecond\n\nlast\n")));
    window->OnCommand(CMessageWindow::ID_REPLY);
    QVERIFY(!window->QuotedText().contains(u'\r'));
}

void TestMessageWindow::busyWindowRefusesCommandsAndClose() {
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

void TestMessageWindow::nothingGoesOutWithoutAName() {
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

void TestMessageWindow::notesShareTheMainWindowsBand() {
    // With Always On Top the main window stands above every other window: a note that pops up
    // must stand in the same band, or it opens behind the main window.
    for (const bool onTop : {true, false}) {
        m_copy->app->GetSettings().m_bAlwaysOnTop = onTop ? 1 : 0;
        QTcpSocket peer;
        QPointer<CMessageWindow> note =
            Receive(Records(NoteFrom(QStringLiteral("Anna"), QStringLiteral("10.1.2.3"),
                                     QStringLiteral("6001"), QStringLiteral("Look up!"))),
                    peer);
        QVERIFY(note);
        QVERIFY(WaitFor([&] { return note->isVisible(); }, 5000));
        QCOMPARE(note->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        CMessageWindow* compose = Compose();
        QCOMPARE(compose->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        compose->close();
        note->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void TestMessageWindow::everyWayOfClosingClosesOnce_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("received");
    for (const bool received : {false, true}) {
        for (const char* way : {"Exit", "Escape", "close button"})
            QTest::addRow("%s, %s", way, received ? "received note" : "compose") << way << received;
    }
}

void TestMessageWindow::everyWayOfClosingClosesOnce() {
    QFETCH(QString, way);
    QFETCH(bool, received);
    QTcpSocket peer;
    QPointer<CMessageWindow> window =
        received ? Receive(Records(NoteFrom(QStringLiteral("Anna"), QStringLiteral("10.1.2.3"),
                                            QStringLiteral("6001"), QStringLiteral("Hi"))),
                           peer)
                 : Compose();
    QVERIFY(window);
    QVERIFY(WaitFor([&] { return window->isVisible(); }, 5000));
    CQuillpadApp& app = *m_copy->app;
    QCOMPARE(app.m_nMessageWindowCount, 1);
    QCOMPARE(app.m_nUnansweredNoteCount, received ? 1 : 0);
    window->move(140, 120);
    const QRect where = window->geometry();

    if (way == QLatin1String("Exit")) {
        window->OnCommand(CMessageWindow::ID_EXIT);
    } else if (way == QLatin1String("Escape")) {
        QTest::keyClick(window, Qt::Key_Escape);
    } else {
        // What the window manager's close button delivers.
        window->windowHandle()->close();
    }
    QVERIFY(WaitFor([&] { return !window || !window->isVisible(); }, 2000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window);
    QCOMPARE(app.m_nMessageWindowCount, 0);
    QCOMPARE(app.m_nUnansweredNoteCount, 0);
    QRect saved;
    QVERIFY(WindowPlacementStore(app.Store())
                .ReadRect(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                          QStringLiteral("Message 1"), saved));
    QCOMPARE(saved, where);
}

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

void TestMessageWindow::windowGoesAtOnceWhileItsRunWaits_data() {
    QTest::addColumn<bool>("send");
    QTest::newRow("check") << false;
    QTest::newRow("send") << true;
}

void TestMessageWindow::windowGoesAtOnceWhileItsRunWaits() {
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

void TestMessageWindow::recentListsNeverHoldUpTheWindows() {
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

void TestMessageWindow::errorSoundIsTheOneTheRunStartedWith() {
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

void TestMessageWindow::addressBookQuestionOnlyForCompose() {
    m_copy->app->GetSettings().m_strFtpServer = QStringLiteral("127.0.0.1");
    Compose()->close();
    QCOMPARE(m_questions, QStringList{QStringLiteral(
                              "You do not have any address book! Do you wish to get one now?")});
    QTcpSocket peer;
    QVERIFY(Receive(Records(NoteFrom(QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("1"),
                                     QStringLiteral("b"))),
                    peer));
    QCOMPARE(m_questions.size(), 1);  // an incoming window never asks
    m_copy->app->GetSettings().m_strFtpServer.clear();
    Compose()->close();
    QCOMPARE(m_questions.size(), 1);
}

void TestMessageWindow::placementsFollowTheWindowCount() {
    CMessageWindow* first = Compose();
    CMessageWindow* second = Compose();
    QCOMPARE(m_copy->app->m_nMessageWindowCount, 2);
    first->setGeometry(40, 50, 500, 300);
    // Closed while two are open, the first window's placement goes under "Message 2".
    first->close();
    QCOMPARE(m_copy->app->m_nMessageWindowCount, 1);
    QRect rect;
    WindowPlacementStore placements(m_copy->app->Store());
    QVERIFY(placements.ReadRect(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                                QStringLiteral("Message 2"), rect));
    QCOMPARE(rect, QRect(40, 50, 500, 300));
    // The next window opened restores the placement stored for its number.
    CMessageWindow* third = Compose();
    QCOMPARE(m_copy->app->m_nMessageWindowCount, 2);
    QCOMPARE(third->geometry(), QRect(40, 50, 500, 300));
    second->close();
    third->close();
    QCOMPARE(m_copy->app->m_nMessageWindowCount, 0);
}

QUILLPAD_TEST_GUI_MAIN(TestMessageWindow)
#include "TestMessageWindow.moc"
