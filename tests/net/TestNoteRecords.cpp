// The records' byte form, the incremental decoder and the two exchanges, without sockets.
#include <QtTest>

#include "TestSupport.h"
#include "net/CMsg.h"
#include "net/NoteExchange.h"

namespace {

QList<CMsg> DecodeAll(const QByteArray& bytes, MsgDecoder::Result* last = nullptr) {
    MsgDecoder decoder;
    decoder.Feed(bytes);
    QList<CMsg> records;
    CMsg msg;
    MsgDecoder::Result result;
    while ((result = decoder.Next(msg)) == MsgDecoder::Result::Record && records.size() < 1000)
        records.append(msg);
    if (last)
        *last = result;
    return records;
}

QList<quint32> Codes(const QList<CMsg>& records) {
    QList<quint32> codes;
    for (const CMsg& msg : records)
        codes.append(msg.m_dwCode);
    return codes;
}

}  // namespace

class TestNoteRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void byteForm_data();
    void byteForm();
    void lengthPrefixes_data();
    void lengthPrefixes();
    void finalFlagIsSixteenBits();
    void recordsSplitAndMergedAcrossSegments();
    void boundsAgainstBrokenPeers_data();
    void boundsAgainstBrokenPeers();
    void noteRecords_data();
    void noteRecords();
    void checkAnswer();
    void noteTextsEndLinesInCrLf_data();
    void noteTextsEndLinesInCrLf();
};

void TestNoteRecords::byteForm_data() {
    QTest::addColumn<quint32>("code");
    QTest::addColumn<quint32>("final");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("MSG_END") << quint32(MSG_END) << 0u << QByteArray()
                             << QByteArray::fromHex(
                                    "0000"
                                    "04010001"
                                    "00");
    QTest::newRow("final check") << quint32(MSG_CHECK) << 1u << QByteArray("Ann")
                                 << QByteArray::fromHex(
                                        "0100"
                                        "00010001"
                                        "03") +
                                        "Ann";
    QTest::newRow("text line") << quint32(MSG_TEXT) << 0u
                               << QByteArray(
                                      "Gr\xc3\xbc\xc3\x9f"
                                      "e")
                               << QByteArray::fromHex(
                                      "0000"
                                      "00010003"
                                      "07") +
                                      "Gr\xc3\xbc\xc3\x9f"
                                      "e";
}

void TestNoteRecords::byteForm() {
    QFETCH(quint32, code);
    QFETCH(quint32, final);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(CMsg(code, text, final).Encode(), bytes);
    const QList<CMsg> back = DecodeAll(bytes);
    QCOMPARE(back.size(), 1);
    QCOMPARE(back[0].m_dwCode, code);
    QCOMPARE(back[0].m_bFinal, final);
    QCOMPARE(back[0].m_strData, text);
}

void TestNoteRecords::lengthPrefixes_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("0") << 0 << QByteArray::fromHex("00");
    QTest::newRow("254") << 254 << QByteArray::fromHex("fe");
    QTest::newRow("255") << 255 << QByteArray::fromHex("ffff00");
    QTest::newRow("65533") << 65533 << QByteArray::fromHex("fffdff");
    QTest::newRow("65534") << 65534
                           << QByteArray::fromHex(
                                  "ffffff"
                                  "feff0000");
    QTest::newRow("70000") << 70000
                           << QByteArray::fromHex(
                                  "ffffff"
                                  "70110100");
}

void TestNoteRecords::lengthPrefixes() {
    QFETCH(int, length);
    QFETCH(QByteArray, prefix);
    const QByteArray text(length, 'x');
    const QByteArray bytes = CMsg(MSG_TEXT, text).Encode();
    QCOMPARE(bytes.mid(6, prefix.size()), prefix);
    QCOMPARE(bytes.size(), 6 + prefix.size() + length);
    const QList<CMsg> back = DecodeAll(bytes);
    QCOMPARE(back.size(), 1);
    QCOMPARE(back[0].m_strData, text);
}

void TestNoteRecords::finalFlagIsSixteenBits() {
    // Any nonzero 16-bit value counts as set; the upper half of a 32-bit flag is not sent.
    QCOMPARE(DecodeAll(QByteArray::fromHex("0001"
                                           "04010001"
                                           "00"))[0]
                 .m_bFinal,
             0x100u);
    QCOMPARE(CMsg(MSG_END, QByteArray(), 0x10000).Encode().left(2), QByteArray::fromHex("0000"));
}

void TestNoteRecords::recordsSplitAndMergedAcrossSegments() {
    QByteArray stream;
    const QList<CMsg> sent = {CMsg(MSG_SENDER_NAME, QByteArray("Ann")),
                              CMsg(0x7777, QByteArray("unknown code")),
                              CMsg(MSG_TEXT, QByteArray(300, 'b')), CMsg(MSG_END)};
    for (const CMsg& msg : sent)
        stream += msg.Encode();
    // Every split point, byte by byte: records come out whole and in order, never early.
    for (int step : {1, 2, 3, 7, 64, 1000}) {
        MsgDecoder decoder;
        QList<CMsg> received;
        for (qsizetype at = 0; at < stream.size(); at += step) {
            decoder.Feed(
                QByteArrayView(stream).sliced(at, qMin<qsizetype>(step, stream.size() - at)));
            CMsg msg;
            while (decoder.Next(msg) == MsgDecoder::Result::Record)
                received.append(msg);
        }
        QCOMPARE(Codes(received), (QList<quint32>{MSG_SENDER_NAME, 0x7777, MSG_TEXT, MSG_END}));
        QCOMPARE(received[2].m_strData, QByteArray(300, 'b'));
        QVERIFY(!decoder.HasPartialRecord());
    }
    MsgDecoder decoder;
    decoder.Feed(stream.left(stream.size() - 1));
    CMsg msg;
    int whole = 0;
    while (decoder.Next(msg) == MsgDecoder::Result::Record)
        ++whole;
    QCOMPARE(whole, 3);
    QVERIFY(decoder.HasPartialRecord());
}

void TestNoteRecords::boundsAgainstBrokenPeers_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("result");  // MsgDecoder::Result of the first Next
    QTest::newRow("reserved prefix") << QByteArray::fromHex(
                                            "0000"
                                            "00010003"
                                            "fffeff")
                                     << int(MsgDecoder::Result::Error);
    QTest::newRow("more than 1 MiB announced") << QByteArray::fromHex(
                                                      "0000"
                                                      "00010003"
                                                      "ffffff"
                                                      "01001000")
                                               << int(MsgDecoder::Result::Error);
    QTest::newRow("4 GiB announced") << QByteArray::fromHex(
                                            "0000"
                                            "00010003"
                                            "ffffff"
                                            "ffffffff")
                                     << int(MsgDecoder::Result::Error);
    QTest::newRow("exactly 1 MiB waits for its text") << QByteArray::fromHex(
                                                             "0000"
                                                             "00010003"
                                                             "ffffff"
                                                             "00001000")
                                                      << int(MsgDecoder::Result::NeedMore);
}

void TestNoteRecords::boundsAgainstBrokenPeers() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, result);
    MsgDecoder decoder;
    decoder.Feed(bytes);
    CMsg msg;
    QCOMPARE(int(decoder.Next(msg)), result);
    if (result == int(MsgDecoder::Result::Error)) {
        decoder.Feed(CMsg(MSG_END).Encode());
        QCOMPARE(decoder.Next(msg), MsgDecoder::Result::Error);  // nothing after the damage is read
    }
}

void TestNoteRecords::noteRecords_data() {
    QTest::addColumn<bool>("profile");
    QTest::addColumn<bool>("reply");
    QTest::addColumn<int>("count");
    QTest::newRow("plain") << false << false << 10;
    QTest::newRow("reply") << false << true << 11;
    QTest::newRow("with profile") << true << false << 14;
    QTest::newRow("reply with profile") << true << true << 15;
}

void TestNoteRecords::noteRecords() {
    QFETCH(bool, profile);
    QFETCH(bool, reply);
    QFETCH(int, count);
    NoteIdentity sender{
        QStringLiteral("Ann Example"), QString(), QString(), QString(), QString(), 6001};
    if (profile) {
        sender.m_strLocation = QStringLiteral("Room 4");
        sender.m_strPhone = QStringLiteral("123");
        sender.m_strFax = QStringLiteral("456");
        sender.m_strQuote = QStringLiteral("Carpe diem");
    }
    OutgoingNote note{QStringLiteral("Bob;Carl;"), QStringLiteral("Lunch?"),
                      reply ? QStringLiteral("earlier") : QString(), QString()};
    const QList<CMsg> records = BuildNoteRecords(sender, QStringLiteral("10.0.0.5"), note);
    QCOMPARE(records.size(), count);
    QList<quint32> expected = {MSG_SENDER_NAME, MSG_SENDER_ADDRESS, MSG_SENDER_PORT,
                               MSG_SENDER_DONE, MSG_BEGIN};
    if (reply)
        expected.append(MSG_QUOTE);
    expected += {MSG_FROM_LINE, MSG_TEXT_SPACED, MSG_TEXT, MSG_TEXT};
    if (profile)
        expected += {MSG_TEXT, MSG_TEXT, MSG_TEXT, MSG_TEXT};
    expected.append(MSG_END);
    QCOMPARE(Codes(records), expected);
    QStringList texts;
    for (const CMsg& msg : records) {
        QCOMPARE(msg.m_bFinal, 0u);
        texts.append(msg.Text());
    }
    QCOMPARE(texts.mid(0, 5),
             (QStringList{QStringLiteral("Ann Example"), QStringLiteral("10.0.0.5"),
                          QStringLiteral("6001"), QString(), QString()}));
    const int base = reply ? 6 : 5;
    QCOMPARE(texts.mid(base, 4),
             (QStringList{QStringLiteral("FROM: Bob;Carl;"), QStringLiteral("TO: Bob;Carl;"),
                          QStringLiteral("Lunch?"), QString()}));
    if (profile) {
        QCOMPARE(texts.mid(base + 4, 4),
                 (QStringList{QStringLiteral("Location: Room 4"), QStringLiteral("Phone: 123"),
                              QStringLiteral("Fax: 456"), QStringLiteral("Carpe diem")}));
    }
    // The from-line, once set, is kept for the next recipients.
    QCOMPARE(note.m_strFromLine, QStringLiteral("FROM: Bob;Carl;"));
    note.m_strRecipientField = QStringLiteral("Changed;");
    QCOMPARE(BuildNoteRecords(sender, QStringLiteral("x"), note)[base].Text(),
             QStringLiteral("FROM: Bob;Carl;"));
}

void TestNoteRecords::checkAnswer() {
    const CMsg request = CheckRequest();
    QCOMPARE(request.Encode(), QByteArray::fromHex("0000"
                                                   "00010001"
                                                   "00"));
    const CMsg answer = CheckAnswer(request, QString());
    QCOMPARE(answer.m_bFinal, 1u);
    QCOMPARE(answer.m_dwCode, quint32(MSG_CHECK));
    QVERIFY(answer.m_strData.isEmpty());  // an empty full name is a valid answer
    QCOMPARE(CheckAnswer(request, QStringLiteral("Ann")).Encode(), QByteArray::fromHex("0100"
                                                                                       "00010001"
                                                                                       "03") +
                                                                       "Ann");
}

void TestNoteRecords::noteTextsEndLinesInCrLf_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("one line") << QStringLiteral("Lunch?") << QByteArray("Lunch?");
    QTest::newRow("LF") << QStringLiteral("one\ntwo\n") << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("CR LF already") << QStringLiteral("one\r\ntwo") << QByteArray("one\r\ntwo");
    QTest::newRow("mixed and empty lines")
        << QStringLiteral("a\n\r\n\nb") << QByteArray("a\r\n\r\n\r\nb");
}

void TestNoteRecords::noteTextsEndLinesInCrLf() {
    // Peers built to the same record format show a note with bare LF as one line.
    QFETCH(QString, typed);
    QFETCH(QByteArray, wire);
    const NoteIdentity sender{
        QStringLiteral("Ann"), QString(), QString(), QString(), QString(), 6001};
    OutgoingNote note{QStringLiteral("Bob;"), typed, typed, QString()};
    const QList<CMsg> records = BuildNoteRecords(sender, QStringLiteral("10.0.0.5"), note);
    QCOMPARE(records[5].m_dwCode, quint32(MSG_QUOTE));
    QCOMPARE(records[5].m_strData, wire);
    QCOMPARE(records[8].m_dwCode, quint32(MSG_TEXT));
    QCOMPARE(records[8].m_strData, wire);
}

QUILLPAD_TEST_MAIN(TestNoteRecords)
#include "TestNoteRecords.moc"
