// Message windows on real loopback connections: composing, what a received note shows and what
// Reply makes of it, closing, the counters and the connections the program must survive. Send
// and Check are TestMessageWindowRuns'; the rules for received records are TestIncomingNote's.

#include "MessageWindowFixture.h"
#include "net/CListeningSocket.h"
#include "shell/WindowPlacementStore.h"

class TestMessageWindow : public QObject, private MessageWindowFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { InitTestCase(); }
    void init() { Init(); }
    void cleanup() { Cleanup(); }
    void freshWindowAndBooks();
    void toolbarCommands();
    void incomingNoteAndReply();
    void checkIsAnsweredUnseen();
    void connectionsThatMustNotHurt();
    void everyWaitingConnectionIsServed();
    void longNoteIsCutInTheWindowOnly();
    void typedNoteStaysWithinTheNoteArea();
    void linesArriveWithEitherLineEnd_data();
    void linesArriveWithEitherLineEnd();
    void everyWayOfClosingClosesOnce_data();
    void notesShareTheMainWindowsBand();
    void everyWayOfClosingClosesOnce();
    void addressBookQuestionOnlyForCompose();
    void placementsFollowTheWindowCount();
};

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
    // What the window shows and collects of a note on a real connection; the rules for its
    // records are IncomingNote's own test.
    QTcpSocket peer;
    CMessageWindow* window =
        Receive(Records(NoteFrom(QStringLiteral("Anna"), QStringLiteral("10.1.2.3"),
                                 QStringLiteral("6001"), QStringLiteral("Lunch at one?"))),
                peer);
    QVERIFY(window);
    QVERIFY(WaitFor([&] { return window->isVisible(); }, 5000));
    auto* area = Child<QPlainTextEdit>(window, "noteArea");
    auto* group = Child<QGroupBox>(window, "recipientGroup");
    QCOMPARE(window->windowTitle(), QStringLiteral("Anna@10.1.2.3"));
    QCOMPARE(Child<QPlainTextEdit>(window, "recipientField")->toPlainText(),
             QStringLiteral("Anna;"));
    QCOMPARE(group->title(), QStringLiteral("From:"));
    QVERIFY(area->isReadOnly());
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
    // Each line with its line end, in the log and in the note area; the banner only in the log.
    QVERIFY(LogText().contains(
        QStringLiteral("Incoming Message ------------------------ \n\nFROM: Anna at ")));
    QVERIFY(LogText().contains(QStringLiteral("\nTO: Me;\n\nLunch at one?\n\nLocation: Room 4\n")));
    const QString note = area->toPlainText();
    QVERIFY(note.startsWith(QStringLiteral("FROM: Anna at ")));
    QVERIFY(note.contains(QStringLiteral("\nTO: Me;\n\nLunch at one?\n")));

    window->OnCommand(CMessageWindow::ID_REPLY);
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 0);
    QCOMPARE(window->windowTitle(), QStringLiteral("Reply Message"));
    QCOMPARE(group->title(), QStringLiteral("Reply To:"));
    QCOMPARE(window->Recipients().size(), 1);
    QCOMPARE(window->Recipients().first().m_entry,
             (AddressEntry{QStringLiteral("Anna"), QStringLiteral("10.1.2.3"), 6001}));
    QCOMPARE(window->FromLine(), QStringLiteral("FROM: Anna;"));
    QCOMPARE(window->QuotedText(), note);
    QVERIFY(area->toPlainText().isEmpty());
    QVERIFY(!area->isReadOnly());
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

    // A flood of idle connections: as many as may be open are read at a time and the others
    // wait for their turn in the listening socket's queues; once the flood ends, the program
    // goes on receiving.
    const int before = accepted;
    const int open = m_copy->services->MaxOpenConnections();
    QList<QTcpSocket*> flood;
    for (int i = 0; i < open + 6; ++i) {
        auto* socket = new QTcpSocket(this);
        socket->connectToHost(QHostAddress::LocalHost,
                              static_cast<quint16>(m_copy->app->GetSettings().m_nPort));
        QVERIFY(WaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }, 5000));
        flood.append(socket);
    }
    QVERIFY(WaitFor([&] { return accepted == before + open; }, 5000));
    QTest::qWait(200);
    QCOMPARE(accepted, before + open);
    qDeleteAll(flood);
    QVERIFY(WaitFor([&] { return accepted == before + open + 6; }, 5000));
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
    for (int i = 0; i < m_copy->services->MaxOpenConnections() - 1; ++i) {
        auto* socket = new QTcpSocket(this);
        socket->connectToHost(QHostAddress::LocalHost, port);
        idle.append(socket);
    }
    QVERIFY(WaitFor([&] { return accepted == before + m_copy->services->MaxOpenConnections() - 1; },
                    5000));
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
    QCOMPARE(accepted, before + m_copy->services->MaxOpenConnections());  // it waits its turn
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
