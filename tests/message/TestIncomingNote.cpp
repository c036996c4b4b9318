// The rules for the records of one incoming connection, without a window and without sockets:
// who sent the note, what the log and the note area get and in which order, the end of the
// note, checks, unknown records, reply mode and the count of unanswered notes.
#include <QtTest>

#include "TestSupport.h"
#include "message/IncomingNote.h"
#include "message/MessageCommands.h"
#include "net/CMsg.h"
#include "net/NoteExchange.h"

Q_DECLARE_METATYPE(CMsg)

namespace {

const QString kStamp = QStringLiteral("Mon Jan 05 12:00:00 2026");

// What the rules asked of the window, one line per call, in order.
class RecordingOutput : public IncomingNote::Output {
public:
    QStringList m_calls;
    QStringList m_log;
    QStringList m_note;
    QList<AddressEntry> m_recipients;
    int m_nUnanswered = 0;

    void LogLine(const QString& line) override {
        m_calls << QStringLiteral("log");
        m_log << line;
    }
    void NoteLine(const QString& line) override {
        m_calls << QStringLiteral("note");
        m_note << line;
    }
    void SetNoteReadOnly(bool readOnly) override {
        m_calls << QStringLiteral("read-only %1").arg(readOnly);
    }
    void ClearNote() override { m_calls << QStringLiteral("clear note"); }
    void AppendRecipientText(const QString& text) override {
        m_calls << QStringLiteral("append recipient text ") + text;
    }
    void SetRecipientText(const QString& text) override {
        m_calls << QStringLiteral("recipient text ") + text;
    }
    void AppendRecipientEntry(const AddressEntry& entry) override {
        m_calls << QStringLiteral("recipient entry");
        m_recipients << entry;
    }
    void SetCaption(const QString& caption) override {
        m_calls << QStringLiteral("caption ") + caption;
    }
    void SetGroupTitle(const QString& title) override {
        m_calls << QStringLiteral("group ") + title;
    }
    void EnableCommand(int id, bool enabled) override {
        m_calls << QStringLiteral("command %1 %2").arg(id).arg(enabled);
    }
    void PushLastSender(const AddressEntry& sender) override {
        m_calls << QStringLiteral("last sender %1 %2 %3")
                       .arg(sender.m_strName, sender.m_strAddress)
                       .arg(sender.m_nPort);
    }
    void ShowWholeNote(const QString& timeStamp) override {
        m_calls << QStringLiteral("show ") + timeStamp;
    }
    void CountUnanswered(int change) override {
        m_calls << QStringLiteral("unanswered %1").arg(change);
        m_nUnanswered += change;
    }
    void AnswerCheck(const CMsg& request) override {
        m_calls << QStringLiteral("answer check ") + request.Text();
    }

    // The note area as a window shows it: one line after the other, with plain line ends.
    QString Shown() const {
        QString shown;
        for (const QString& line : m_note)
            shown += line + QLatin1Char('\n');
        return shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
};

// A receiving side: the rules, their output and a fixed clock.
struct Receiver {
    RecordingOutput out;
    IncomingNote note{out, [] { return kStamp; }};

    void Feed(const QList<CMsg>& records) {
        for (const CMsg& msg : records)
            note.OnRecord(msg);
    }
};

QList<CMsg> NoteRecords(const QString& name, const QString& body, const QString& quote = {},
                        const QString& location = {}) {
    const NoteIdentity sender{name, location, QString(), QString(), QString(), 6001};
    OutgoingNote note{QStringLiteral("Me;"), body, quote, QString()};
    return BuildNoteRecords(sender, QStringLiteral("10.1.2.3"), note);
}

QString Command(int id, bool enabled) {
    return QStringLiteral("command %1 %2").arg(id).arg(enabled);
}

}  // namespace

class TestIncomingNote : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void senderIdentity_data();
    void senderIdentity();
    void linesGoToTheLogAndTheNoteArea();
    void wholeNoteIsShownThenCounted();
    void recordsAfterTheEndChangeNothing_data();
    void recordsAfterTheEndChangeNothing();
    void checkBeforeTheEndIsAnswered();
    void unknownRecordsAreIgnored_data();
    void unknownRecordsAreIgnored();
    void bodyLineIsTheFirstTextRecord();
    void replyModeAddressesTheSender();
    void closingCountsOffAnUnansweredNote_data();
    void closingCountsOffAnUnansweredNote();
    void replyToAReplyQuotesEveryLevel();
};

void TestIncomingNote::senderIdentity_data() {
    QTest::addColumn<QByteArray>("portText");
    QTest::addColumn<qint32>("port");
    QTest::newRow("number") << QByteArray("6001") << 6001;
    QTest::newRow("blanks and sign") << QByteArray("  +6002x") << 6002;
    QTest::newRow("not a number") << QByteArray("port") << 0;
}

void TestIncomingNote::senderIdentity() {
    QFETCH(QByteArray, portText);
    QFETCH(qint32, port);
    Receiver receiver;
    receiver.Feed({CMsg(MSG_SENDER_NAME, QStringLiteral("Anna")),
                   CMsg(MSG_SENDER_ADDRESS, QStringLiteral("10.1.2.3")),
                   CMsg(MSG_SENDER_PORT, portText)});
    // The note area is read-only from the sender's name on; the caption waits for the address.
    QCOMPARE(
        receiver.out.m_calls,
        (QStringList{QStringLiteral("read-only 1"), QStringLiteral("append recipient text Anna;"),
                     QStringLiteral("group From:"), QStringLiteral("caption Anna@10.1.2.3")}));
    receiver.out.m_calls.clear();
    receiver.note.OnRecord(CMsg(MSG_SENDER_DONE));
    QCOMPARE(receiver.out.m_calls,
             (QStringList{Command(MessageCommands::ID_REPLY, true),
                          QStringLiteral("last sender Anna 10.1.2.3 %1").arg(port)}));
    QCOMPARE(receiver.note.Sender(),
             (AddressEntry{QStringLiteral("Anna"), QStringLiteral("10.1.2.3"), port}));
    QVERIFY(receiver.out.m_log.isEmpty());
    QVERIFY(!receiver.note.IsWhole());
}

void TestIncomingNote::linesGoToTheLogAndTheNoteArea() {
    Receiver receiver;
    QList<CMsg> records = NoteRecords(QStringLiteral("Anna"), QStringLiteral("Lunch at one?"),
                                      QStringLiteral("Earlier"), QStringLiteral("Room 4"));
    receiver.Feed(records);
    // The FROM line carries the receiver's time; the sender's own from-line is not shown.
    const QStringList lines{QStringLiteral("Earlier"),
                            QStringLiteral("---------- Reply Separator ----------\r\n"),
                            QStringLiteral("FROM: Anna at ") + kStamp,
                            QStringLiteral("TO: Me;"),
                            QString(),
                            QStringLiteral("Lunch at one?"),
                            QString(),
                            QStringLiteral("Location: Room 4")};
    QCOMPARE(receiver.out.m_note, lines);
    // The banner, with its empty lines, is for the log only.
    QCOMPARE(receiver.out.m_log.mid(0, 3),
             (QStringList{QString(),
                          QStringLiteral("------------------------ Incoming Message "
                                         "------------------------ "),
                          QString()}));
    QCOMPARE(receiver.out.m_log.mid(3), lines);
    // Each line reaches the log before the note area.
    const qsizetype first = receiver.out.m_calls.indexOf(QStringLiteral("note"));
    QCOMPARE(receiver.out.m_calls.mid(first - 1, 4),
             (QStringList{QStringLiteral("log"), QStringLiteral("note"), QStringLiteral("log"),
                          QStringLiteral("note")}));
}

void TestIncomingNote::wholeNoteIsShownThenCounted() {
    Receiver receiver;
    receiver.Feed(NoteRecords(QStringLiteral("Anna"), QStringLiteral("Hi")));
    QVERIFY(receiver.note.IsWhole());
    QCOMPARE(receiver.out.m_calls.mid(receiver.out.m_calls.size() - 2),
             (QStringList{QStringLiteral("show ") + kStamp, QStringLiteral("unanswered 1")}));
    QCOMPARE(receiver.out.m_nUnanswered, 1);
}

void TestIncomingNote::recordsAfterTheEndChangeNothing_data() {
    // A second end would count the note again (and the reminder would never stop); a check
    // would close the shown note.
    QTest::addColumn<CMsg>("late");
    QTest::newRow("second end") << CMsg(MSG_END);
    QTest::newRow("late line") << CMsg(MSG_TEXT, QByteArray("late line"));
    QTest::newRow("check") << CMsg(MSG_CHECK);
    QTest::newRow("new sender") << CMsg(MSG_SENDER_NAME, QByteArray("Mallory"));
    QTest::newRow("quote") << CMsg(MSG_QUOTE, QByteArray("late quote"));
}

void TestIncomingNote::recordsAfterTheEndChangeNothing() {
    QFETCH(CMsg, late);
    Receiver receiver;
    receiver.Feed(NoteRecords(QStringLiteral("Anna"), QStringLiteral("Once")));
    const QStringList before = receiver.out.m_calls;
    receiver.note.OnRecord(late);
    receiver.note.OnRecord(late);
    QCOMPARE(receiver.out.m_calls, before);
    QCOMPARE(receiver.out.m_nUnanswered, 1);
    QCOMPARE(receiver.note.SenderName(), QStringLiteral("Anna"));
}

void TestIncomingNote::checkBeforeTheEndIsAnswered() {
    Receiver receiver;
    receiver.Feed(
        {CMsg(MSG_SENDER_NAME, QStringLiteral("Anna")), CMsg(MSG_CHECK, QByteArray("who?"))});
    QCOMPARE(receiver.out.m_calls.last(), QStringLiteral("answer check who?"));
    QVERIFY(receiver.out.m_log.isEmpty());
    QCOMPARE(receiver.out.m_nUnanswered, 0);
}

void TestIncomingNote::unknownRecordsAreIgnored_data() {
    QTest::addColumn<quint32>("code");
    QTest::newRow("zero") << 0u;
    QTest::newRow("next control code") << 0x01000107u;
    QTest::newRow("next identity code") << 0x02000103u;
    QTest::newRow("next text code") << 0x03000101u;
    QTest::newRow("all bits") << 0xFFFFFFFFu;
}

void TestIncomingNote::unknownRecordsAreIgnored() {
    QFETCH(quint32, code);
    Receiver receiver;
    QList<CMsg> records = NoteRecords(QStringLiteral("Anna"), QStringLiteral("Hi"));
    Receiver plain;
    plain.Feed(records);
    // The same note with an unknown record between every two records.
    for (qsizetype i = records.size(); i > 0; --i)
        records.insert(i - 1, CMsg(code, QByteArray("unknown")));
    receiver.Feed(records);
    QCOMPARE(receiver.out.m_calls, plain.out.m_calls);
    QCOMPARE(receiver.out.m_log, plain.out.m_log);
    QCOMPARE(receiver.note.Sender(), plain.note.Sender());
}

void TestIncomingNote::bodyLineIsTheFirstTextRecord() {
    Receiver receiver;
    receiver.Feed(NoteRecords(QStringLiteral("Anna"), QStringLiteral("\n  Lunch\tat one?\nmore"),
                              QString(), QStringLiteral("Room 4")));
    // The profile lines that follow the body do not replace it.
    QCOMPARE(receiver.note.BodyLine(), QStringLiteral("Lunch at one?"));
}

void TestIncomingNote::replyModeAddressesTheSender() {
    Receiver receiver;
    receiver.Feed(NoteRecords(QStringLiteral("Anna"), QStringLiteral("Lunch at one?")));
    receiver.out.m_calls.clear();
    OutgoingNote answer{QStringLiteral("old"), QStringLiteral("typed before"), QString(),
                        QString()};
    const QString shown = receiver.out.Shown();
    receiver.note.Reply(QStringLiteral("Anna;"), shown, answer);
    QCOMPARE(
        receiver.out.m_calls,
        (QStringList{QStringLiteral("read-only 0"), QStringLiteral("unanswered -1"),
                     QStringLiteral("clear note"), Command(MessageCommands::ID_SEND, true),
                     Command(MessageCommands::ID_CLEAR, true),
                     Command(MessageCommands::ID_REPLY, false),
                     QStringLiteral("caption Reply Message"), QStringLiteral("group Reply To:"),
                     QStringLiteral("recipient entry"), QStringLiteral("recipient text Anna;")}));
    QCOMPARE(
        receiver.out.m_recipients,
        (QList<AddressEntry>{{QStringLiteral("Anna"), QStringLiteral("10.1.2.3"), qint32(6001)}}));
    QCOMPARE(answer.m_strFromLine, QStringLiteral("FROM: Anna;"));
    QCOMPARE(answer.m_strQuote, shown);
    QCOMPARE(answer.m_strRecipientField, QStringLiteral("Anna;"));
    QVERIFY(answer.m_strBody.isEmpty());
    QVERIFY(receiver.note.IsAnswered());
    QCOMPARE(receiver.out.m_nUnanswered, 0);
    // Answered: closing changes nothing.
    receiver.note.Close();
    QCOMPARE(receiver.out.m_nUnanswered, 0);
}

void TestIncomingNote::closingCountsOffAnUnansweredNote_data() {
    QTest::addColumn<bool>("whole");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("countedOff");
    QTest::newRow("note not whole") << false << false << 0;
    QTest::newRow("whole, unanswered") << true << false << 1;
    QTest::newRow("whole, answered") << true << true << 1;
}

void TestIncomingNote::closingCountsOffAnUnansweredNote() {
    QFETCH(bool, whole);
    QFETCH(bool, answered);
    QFETCH(int, countedOff);
    Receiver receiver;
    QList<CMsg> records = NoteRecords(QStringLiteral("Anna"), QStringLiteral("Hi"));
    if (!whole)
        records.removeLast();
    receiver.Feed(records);
    if (answered) {
        OutgoingNote answer;
        receiver.note.Reply(QStringLiteral("Anna;"), receiver.out.Shown(), answer);
    }
    // A window closes once, whichever way; a second close, or records after it, count nothing.
    receiver.note.Close();
    receiver.note.Close();
    receiver.note.OnRecord(CMsg(MSG_END));
    QCOMPARE(receiver.out.m_calls.count(QStringLiteral("unanswered -1")), countedOff);
    QCOMPARE(receiver.out.m_nUnanswered, 0);
}

void TestIncomingNote::replyToAReplyQuotesEveryLevel() {
    // Anna writes to Bert, Bert answers, Anna answers the answer: the last note shows each
    // earlier level above its own separator, oldest first.
    Receiver bert;
    bert.Feed(NoteRecords(QStringLiteral("Anna"), QStringLiteral("first")));
    OutgoingNote bertsAnswer;
    bert.note.Reply(QStringLiteral("Anna;"), bert.out.Shown(), bertsAnswer);
    bertsAnswer.m_strBody = QStringLiteral("second");
    const NoteIdentity bertId{QStringLiteral("Bert"), {}, {}, {}, {}, 6002};
    Receiver anna;
    anna.Feed(BuildNoteRecords(bertId, QStringLiteral("10.1.2.4"), bertsAnswer));
    OutgoingNote annasAnswer;
    anna.note.Reply(QStringLiteral("Bert;"), anna.out.Shown(), annasAnswer);
    annasAnswer.m_strBody = QStringLiteral("third");
    const NoteIdentity annaId{QStringLiteral("Anna"), {}, {}, {}, {}, 6001};
    Receiver last;
    last.Feed(BuildNoteRecords(annaId, QStringLiteral("10.1.2.3"), annasAnswer));

    const QString shown = last.out.Shown();
    const QString separator = QStringLiteral("---------- Reply Separator ----------");
    const qsizetype firstSeparator = shown.indexOf(separator);
    const qsizetype secondSeparator = shown.indexOf(separator, firstSeparator + 1);
    QVERIFY2(firstSeparator > 0 && secondSeparator > firstSeparator, qPrintable(shown));
    QVERIFY(shown.indexOf(QStringLiteral("\nfirst\n")) < firstSeparator);
    const qsizetype second = shown.indexOf(QStringLiteral("\nsecond\n"));
    QVERIFY(second > firstSeparator && second < secondSeparator);
    QVERIFY(shown.indexOf(QStringLiteral("\nthird\n")) > secondSeparator);
    QCOMPARE(shown.count(QStringLiteral("FROM: ")), 3);
}

QUILLPAD_TEST_MAIN(TestIncomingNote)
#include "TestIncomingNote.moc"
