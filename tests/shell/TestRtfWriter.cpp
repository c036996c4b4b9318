#include <QtTest>

#include "TestSupport.h"
#include "shell/RtfCodec.h"

namespace {

constexpr char16_t kPicture = 0xFFFC;

QString DataPath(const QString& name) {
    return QStringLiteral(QUILLPAD_TEST_DATA "/rtf/") + name;
}

QByteArray SamplePng() {
    return ReadWholeFile(DataPath(QStringLiteral("src/picture.png")));
}

}  // namespace

class TestRtfWriter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void picturesRoundTrip();
    void writerHeader_data();
    void writerHeader();
    void writerMarksItsFiles();
    void filesOfThisProgramAreKnown_data();
    void filesOfThisProgramAreKnown();
    void writtenCharacters_data();
    void writtenCharacters();
    void otherReadersReadTheCharacters();
};

void TestRtfWriter::roundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const auto same = [](const char* name, const QString& text) {
        QTest::newRow(name) << text << text;
    };
    same("ASCII", QStringLiteral("Hello, world! 0123456789 ~`@#$%^&*()_+-=[]|;:'\",.<>/?"));
    QString latin1;
    for (char16_t c = 0xa0; c <= 0xff; ++c)
        latin1.append(QChar(c));
    same("Latin-1", latin1 + QStringLiteral("\u20ac\u201c\u0152\u2122"));
    same("Cyrillic and Greek",
         QStringLiteral("\u0421\u044a\u0435\u0448\u044c \u039e\u03b5\u03c3\u03ba\u03b5"));
    same("Chinese", QStringLiteral("\u4e2d\u6587\uff1a\u4f60\u597d\u3002"));
    same("emoji", QStringLiteral("Emoji: \U0001F600 \U0001F44D"));
    same("paragraphs and empty ones", QStringLiteral("\n\na\n\n\nb\n"));
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb\rc\r\n") << QStringLiteral("a\nb\nc\n");
    same("braces and backslashes", QStringLiteral("{a} \\b\\ }{ C:\\Users\\x \\\\server"));
    same("looks like RTF", QStringLiteral("{\\rtf1 \\b not bold\\b0 } \\par \\'e9 \\u8364? \\"));
    same("tabs and line breaks", QStringLiteral("\ta\t\tb \u2028c\u2028\u2028d\t"));
    same("blanks", QStringLiteral("  two leading, trailing two  \n    four"));
}

void TestRtfWriter::roundTrip() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    RtfContent content;
    content.m_strText = text;
    const QByteArray rtf = WriteRtf(content, QStringLiteral("Times New Roman"), 20);
    for (const char byte : rtf)
        QVERIFY(static_cast<unsigned char>(byte) < 0x80);
    RtfContent back;
    QString error;
    QVERIFY2(ReadRtf(rtf, back, &error), qPrintable(error));
    QCOMPARE(back.m_strText, expected);
    QCOMPARE(rtf.count("\\par\n"), expected.count(QLatin1Char('\n')));
}

void TestRtfWriter::picturesRoundTrip() {
    RtfContent content;
    content.m_strText = QStringLiteral("before\n") + QChar(kPicture) + QStringLiteral("\nand ") +
                        QChar(kPicture) + QStringLiteral(" after");
    RtfPicture sized;
    sized.m_png = SamplePng();
    sized.m_nWidthTwips = 1200;
    sized.m_nHeightTwips = 900;
    RtfPicture ownSize;
    ownSize.m_png = SamplePng();
    content.m_pictures = {sized, ownSize};
    const QByteArray rtf = WriteRtf(content, QStringLiteral("Arial"), 20);

    RtfContent back;
    QVERIFY(ReadRtf(rtf, back, nullptr));
    QCOMPARE(back.m_strText, content.m_strText);
    QCOMPARE(back.m_pictures.size(), 2);
    QCOMPARE(back.m_pictures.at(0).m_png, SamplePng());
    QCOMPARE(back.m_pictures.at(1).m_png, SamplePng());
    QCOMPARE(back.m_pictures.at(0).m_nWidthTwips, 1200);
    QCOMPARE(back.m_pictures.at(0).m_nHeightTwips, 900);
    QCOMPARE(back.m_pictures.at(1).m_nWidthTwips, 40 * 15);  // 40x30 pixels at 96 dpi
    QCOMPARE(back.m_pictures.at(1).m_nHeightTwips, 30 * 15);
    QVERIFY(rtf.contains("{\\pict\\pngblip\\picw40\\pich30\\picwgoal1200\\pichgoal900\n"));

    // Hex data in lines of 128 characters, so that the file stays readable.
    const QList<QByteArray> lines = rtf.split('\n');
    const qsizetype hexLength = SamplePng().size() * 2;
    qsizetype hexSeen = 0;
    for (const QByteArray& line : lines) {
        if (!line.isEmpty() && QByteArray::fromHex(line).toHex() == line) {
            QVERIFY(line.size() == 128 || (hexSeen + line.size()) % hexLength == 0);
            hexSeen += line.size();
        }
    }
    QCOMPARE(hexSeen, 2 * hexLength);
}

void TestRtfWriter::writerHeader_data() {
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("halfPoints");
    QTest::addColumn<QByteArray>("fontTable");
    QTest::newRow("Times New Roman 10 pt")
        << QStringLiteral("Times New Roman") << 20
        << QByteArray("{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}}");
    QTest::newRow("Courier New 12 pt")
        << QStringLiteral("Courier New") << 24
        << QByteArray("{\\fonttbl{\\f0\\froman\\fcharset0 Courier New;}}");
    QTest::newRow("non-ASCII face") << QStringLiteral("\u5b8b\u4f53") << 21
                                    << QByteArray("{\\f0\\froman\\fcharset0 \\u23435?\\u20307?;}");
    QTest::newRow("semicolon in the face")
        << QStringLiteral("A;B") << 20 << QByteArray("{\\f0\\froman\\fcharset0 AB;}");
}

void TestRtfWriter::writerHeader() {
    QFETCH(QString, face);
    QFETCH(int, halfPoints);
    QFETCH(QByteArray, fontTable);
    RtfContent content;
    content.m_strText = QStringLiteral("x");
    const QByteArray rtf = WriteRtf(content, face, halfPoints);
    QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
    QVERIFY2(rtf.contains(fontTable), rtf.constData());
    const QByteArray body = "\\uc1\\pard\\plain\\f0\\fs" + QByteArray::number(halfPoints) + " x}";
    QVERIFY2(rtf.contains(body), rtf.constData());
}

void TestRtfWriter::writerMarksItsFiles() {
    RtfContent content;
    content.m_strText = QStringLiteral("x");
    const QByteArray rtf = WriteRtf(content, QStringLiteral("Times New Roman"), 20);
    QVERIFY2(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 "
                            "Times New Roman;}}{\\*\\generator Quillpad"),
             rtf.constData());
    RtfContent back;
    QVERIFY(ReadRtf(rtf, back, nullptr));
    QCOMPARE(back.m_strText, QStringLiteral("x"));
}

void TestRtfWriter::filesOfThisProgramAreKnown_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<bool>("ours");
    RtfContent content;
    content.m_strText = QStringLiteral("x");
    QTest::newRow("written now") << WriteRtf(content, QStringLiteral("Times New Roman"), 20)
                                 << true;
    QTest::newRow("another face")
        << WriteRtf(content, QStringLiteral("\u5b8b\u4f53"), 24).left(kQuillpadHeaderBytes) << true;
    QTest::newRow("as earlier versions wrote")
        << QByteArray(
               "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New "
               "Roman;}}\n\\uc1\\pard\\plain\\f0\\fs20 text\\par\n}\n")
        << true;
    for (const char* name : {"lo-e-picture", "pandoc-a-plain", "hand-minimal"}) {
        QTest::newRow(name) << ReadWholeFile(
                                   DataPath(QString::fromLatin1(name) + QStringLiteral(".rtf")))
                                   .left(kQuillpadHeaderBytes)
                            << false;
    }
    QTest::newRow("another generator")
        << QByteArray(
               "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Arial;}}"
               "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 x}")
        << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestRtfWriter::filesOfThisProgramAreKnown() {
    QFETCH(QByteArray, start);
    QFETCH(bool, ours);
    QCOMPARE(IsWrittenByQuillpad(start), ours);
}

void TestRtfWriter::writtenCharacters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");
    // Where Windows-1252 has the character, its byte is the fallback, as word processors write.
    QTest::newRow("e diaeresis") << QStringLiteral("\u00eb") << QByteArray("\\u235\\'eb");
    QTest::newRow("no-break space") << QStringLiteral("\u00a0") << QByteArray("\\u160\\'a0");
    QTest::newRow("en dash") << QStringLiteral("\u2013") << QByteArray("\\u8211\\'96");
    QTest::newRow("euro") << QStringLiteral("\u20ac") << QByteArray("\\u8364\\'80");
    // Elsewhere a question mark, as before.
    QTest::newRow("Chinese") << QStringLiteral("\u65e5") << QByteArray("\\u26085?");
    QTest::newRow("emoji") << QStringLiteral("\U0001F600") << QByteArray("\\u-10179?\\u-8704?");
    QTest::newRow("C1 control, unassigned in Windows-1252")
        << QStringLiteral("\u0081") << QByteArray("\\u129?");
}

void TestRtfWriter::writtenCharacters() {
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    RtfContent content;
    content.m_strText = QLatin1Char('<') + text + QLatin1Char('>');
    const QByteArray rtf = WriteRtf(content, QStringLiteral("Times New Roman"), 20);
    QVERIFY2(rtf.contains(QByteArray("\\fs20 <" + written + ">}")), rtf.constData());
    RtfContent back;
    QVERIFY(ReadRtf(rtf, back, nullptr));
    QCOMPARE(back.m_strText, content.m_strText);
}

// unrtf (a Debian package of the tests) reads \uN with a "?" fallback wrongly: it loses the
// character after the "?".
void TestRtfWriter::otherReadersReadTheCharacters() {
    const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    if (unrtf.isEmpty())
        QSKIP("unrtf is not installed");
    RtfContent content;
    content.m_strText = QStringLiteral("Zo\u00eb \u2013 na\u00efve \u65e5\u672c\n");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.rtf"));
    WriteWholeFile(path, WriteRtf(content, QStringLiteral("Times New Roman"), 20));
    QProcess process;
    process.start(unrtf, {QStringLiteral("--html"), path});
    QVERIFY(process.waitForFinished(30000));
    const QByteArray html = process.readAllStandardOutput();
    QVERIFY2(html.contains("Zo&euml; &ndash; na&iuml;ve &#26085;&#26412;"), html.constData());
}

QUILLPAD_TEST_MAIN(TestRtfWriter)
#include "TestRtfWriter.moc"
