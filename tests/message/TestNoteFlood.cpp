// More notes at once than windows may be open: the notes beyond the limit are logged, counted
// and put onto Last Senders like any other, and one notice window stands for them.

#include "MessageWindowFixture.h"
#include "message/NoteBlocks.h"
#include "message/NoteNotice.h"

class TestNoteFlood : public QObject, private MessageWindowFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { InitTestCase(); }
    void init() { Init(); }
    void cleanup() {
        m_peers.clear();
        Cleanup();
    }
    void notesBeyondTheLimitGoToTheNotice();
    void noticeShowsTheFirstFurtherNoteInTheLog();
    void closedWindowsMakeRoomAndTheNoticeStartsAfresh();
    void checkIsAnsweredAheadOfWaitingNotes();

private:
    // Sends count notes at once, each on a connection of its own, from senders named
    // "Sender <first + i>" with bodies "Body <first + i>".
    void SendNotes(int first, int count) {
        const quint16 port = static_cast<quint16>(m_copy->app->GetSettings().m_nPort);
        for (int i = first; i < first + count; ++i) {
            auto peer = std::make_unique<QTcpSocket>();
            peer->connectToHost(QHostAddress::LocalHost, port);
            peer->write(
                Records(NoteFrom(QStringLiteral("Sender %1").arg(i), QStringLiteral("10.0.0.1"),
                                 QStringLiteral("6001"), QStringLiteral("Body %1").arg(i))));
            peer->disconnectFromHost();
            m_peers.push_back(std::move(peer));
        }
    }
    int LoggedNotes() const {
        return static_cast<int>(LogText().count(QLatin1String(NoteBlocks::kIncomingBanner)));
    }
    int ShownWindows() const {
        int shown = 0;
        for (const QPointer<CMessageWindow>& window : m_incoming)
            shown += window && window->isVisible() ? 1 : 0;
        return shown;
    }
    // Waits until total notes are whole: in a window or counted by the notice.
    bool WaitForNotes(int windows, int further) {
        return WaitFor(
            [&] {
                NoteNotice* notice = m_copy->services->Notice();
                return ShownWindows() == windows && (notice ? notice->Count() : 0) == further;
            },
            30000);
    }

    std::vector<std::unique_ptr<QTcpSocket>> m_peers;
};

void TestNoteFlood::notesBeyondTheLimitGoToTheNotice() {
    QSignalSpy announced(m_copy->services.get(), &MessageServices::newMessage);
    SendNotes(0, 150);
    QVERIFY(WaitForNotes(100, 50));
    QCOMPARE(m_copy->services->OpenNoteWindowCount(), MessageServices::kMaxNoteWindows);
    NoteNotice* notice = m_copy->services->Notice();
    QVERIFY(notice->isVisible());
    QVERIFY(Child<QLabel>(notice, "noticeText")->text().contains(QStringLiteral("50 further")));
    QVERIFY(!Child<QPushButton>(notice, "showInLogButton")->accessibleName().isEmpty());
    // Every note is in the log, counted, announced and on Last Senders.
    QCOMPARE(LoggedNotes(), 150);
    for (int i = 0; i < 150; ++i)
        QVERIFY(LogText().contains(QStringLiteral("\nBody %1\n").arg(i)));
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 150);
    QCOMPARE(announced.count(), 150);
    QVERIFY(WaitFor(
        [&] {
            const QByteArray senders = ReadWholeFile(m_data + QStringLiteral("LS.add"));
            return senders.count("Sender ") == 30;  // a full list
        },
        5000));

    // Closing the notice counts its notes off; the windows' notes stay unanswered.
    notice->close();
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 100);
}

void TestNoteFlood::noticeShowsTheFirstFurtherNoteInTheLog() {
    SendNotes(0, 103);
    QVERIFY(WaitForNotes(100, 3));
    QStringList inWindows;
    for (const QPointer<CMessageWindow>& window : m_incoming)
        inWindows.append(Child<QPlainTextEdit>(window, "noteArea")->toPlainText());
    CQuillpadView* log = m_copy->Hub();
    log->moveCursor(QTextCursor::Start);
    Child<QPushButton>(m_copy->services->Notice(), "showInLogButton")->click();

    // The banner of a note that no window shows is selected.
    const QTextCursor selected = log->textCursor();
    QCOMPARE(selected.selectedText(), QLatin1String(NoteBlocks::kIncomingBanner));
    const QString after = LogText().mid(selected.selectionEnd(), 200);
    const QString body = after.section(QStringLiteral("Body "), 1).section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(!body.isEmpty(), qPrintable(after));
    for (const QString& shown : std::as_const(inWindows))
        QVERIFY(!shown.contains(QStringLiteral("Body %1\n").arg(body)));
    QVERIFY(WaitFor([&] { return !m_copy->services->Notice(); }, 2000));
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 100);
}

void TestNoteFlood::closedWindowsMakeRoomAndTheNoticeStartsAfresh() {
    SendNotes(0, 101);
    QVERIFY(WaitForNotes(100, 1));
    // A window closed makes room for the next note; the notice keeps its count.
    m_incoming.first()->close();
    SendNotes(101, 1);
    QVERIFY(WaitForNotes(100, 1));
    QCOMPARE(m_copy->services->Notice()->Count(), 1);

    // A check is answered with every window taken, and shows nowhere.
    QTcpSocket checker;
    checker.connectToHost(QHostAddress::LocalHost,
                          static_cast<quint16>(m_copy->app->GetSettings().m_nPort));
    QVERIFY(checker.waitForConnected(5000));
    checker.write(CheckRequest().Encode());
    QVERIFY(WaitFor([&] { return checker.bytesAvailable() > 0; }, 5000));
    QVERIFY(checker.readAll().contains("Me Myself"));
    QCOMPARE(m_copy->services->Notice()->Count(), 1);

    // Closed, the notice comes back with the next further note, counting from one.
    m_copy->services->Notice()->close();
    QVERIFY(WaitFor([&] { return !m_copy->services->Notice(); }, 2000));
    SendNotes(102, 2);
    QVERIFY(WaitFor(
        [&] { return m_copy->services->Notice() && m_copy->services->Notice()->Count() == 2; },
        10000));
    QCOMPARE(m_copy->app->m_nUnansweredNoteCount, 102);
    QCOMPARE(LoggedNotes(), 104);
}

QUILLPAD_TEST_GUI_MAIN(TestNoteFlood)
#include "TestNoteFlood.moc"

// A check that arrives behind a crowd of notes is answered while the notes still wait to be
// handled, and none of them is lost for it.
void TestNoteFlood::checkIsAnsweredAheadOfWaitingNotes() {
    SendNotes(0, 300);
    QTcpSocket checker;
    checker.connectToHost(QHostAddress::LocalHost,
                          static_cast<quint16>(m_copy->app->GetSettings().m_nPort));
    checker.write(CMsg(MSG_CHECK).Encode());
    int loggedWhenAnswered = -1;
    QByteArray answer;
    QVERIFY(WaitFor(
        [&] {
            answer += checker.readAll();
            if (!answer.isEmpty())
                loggedWhenAnswered = LoggedNotes();
            return !answer.isEmpty();
        },
        10000));
    QVERIFY2(loggedWhenAnswered < 150,
             qPrintable(QStringLiteral("answered after %1 notes").arg(loggedWhenAnswered)));
    QVERIFY(m_copy->services->WaitingNoteCount() > 0);
    QVERIFY(WaitForNotes(100, 200));
    QCOMPARE(LoggedNotes(), 300);
    const QString log = LogText();
    for (int i = 0; i < 300; ++i)
        QVERIFY(log.contains(QStringLiteral("\nBody %1\n").arg(i)));
}
