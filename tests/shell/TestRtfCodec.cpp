#include <QCryptographicHash>
#include <QtTest>

#include "TestSupport.h"
#include "shell/RtfCodec.h"

namespace {

constexpr char16_t kPicture = 0xFFFC;
constexpr char16_t kLineBreak = 0x2028;

QString DataPath(const QString& name) {
    return QStringLiteral(QUILLPAD_TEST_DATA "/rtf/") + name;
}

QByteArray SamplePng() {
    return ReadWholeFile(DataPath(QStringLiteral("src/picture.png")));
}

QByteArray Sha256Hex(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// Text as the expected files give it: no byte-order mark, pictures give no text, a line break
// ends a line, and a trailing line end does not count.
QStringList Lines(QString text) {
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.remove(QChar(kPicture));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(kLineBreak), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}

QByteArray PictureRtf(const QByteArray& png) {
    return "{\\pict\\pngblip " + png.toHex() + '}';
}

}  // namespace

class TestRtfCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void samplesReadToTheirText_data();
    void samplesReadToTheirText();
    void samplePictures_data();
    void samplePictures();
    void damagedFiles_data();
    void damagedFiles();
    void reading_data();
    void reading();
    void pictures_data();
    void pictures();
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

void TestRtfCodec::samplesReadToTheirText_data() {
    QTest::addColumn<QString>("name");
    for (const char* name :
         {"hand-minimal", "hand-escapes", "lo-a-plain", "lo-b-unicode", "lo-c-special",
          "lo-d-formatting", "lo-e-picture", "lo-e2-picture-shape", "lo-f-table", "lo-g-long",
          "pandoc-a-plain", "pandoc-b-unicode"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestRtfCodec::samplesReadToTheirText() {
    QFETCH(QString, name);
    const QByteArray rtf = ReadWholeFile(DataPath(name + QStringLiteral(".rtf")));
    const QByteArray expected = ReadWholeFile(DataPath(name + QStringLiteral(".txt")));
    QVERIFY(!rtf.isEmpty() && !expected.isEmpty());
    RtfContent content;
    QString error;
    QVERIFY2(ReadRtf(rtf, content, &error), qPrintable(error));
    QCOMPARE(Lines(content.m_strText), Lines(QString::fromUtf8(expected)));
    QCOMPARE(content.m_strText.count(QChar(kPicture)), content.m_pictures.size());
}

void TestRtfCodec::samplePictures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("sha256");
    QTest::addColumn<int>("widthTwips");
    QTest::addColumn<int>("heightTwips");
    // The classic form, with a WMF copy for old readers beside it; \picscalex189\picscaley188.
    QTest::newRow("shppict")
        << QStringLiteral("lo-e-picture")
        << QByteArray("0fdf44e0cf887b18f19ab246c90de943540dac18e881490dc0d014875e759a49") << 1134
        << 846;
    // A drawing shape: its "pib" is the picture, its "fillBlip" repeats the original.
    QTest::newRow("shape")
        << QStringLiteral("lo-e2-picture-shape")
        << QByteArray("85b2626b3dc22d09c46f007ef6db148dc6640393e9ff7a8a3fe06687c8dec7b7") << 0 << 0;
}

void TestRtfCodec::samplePictures() {
    QFETCH(QString, name);
    QFETCH(QByteArray, sha256);
    QFETCH(int, widthTwips);
    QFETCH(int, heightTwips);
    RtfContent content;
    QVERIFY(ReadRtf(ReadWholeFile(DataPath(name + QStringLiteral(".rtf"))), content, nullptr));
    QCOMPARE(content.m_pictures.size(), 1);
    QCOMPARE(Sha256Hex(content.m_pictures.first().m_png), sha256);
    QCOMPARE(content.m_pictures.first().m_nWidthTwips, widthTwips);
    QCOMPARE(content.m_pictures.first().m_nHeightTwips, heightTwips);
    QCOMPARE(content.m_strText, QStringLiteral("Text line before the picture.\n") +
                                    QChar(kPicture) +
                                    QStringLiteral("\nText line after the picture.\n"));
    if (name == QLatin1String("lo-e-picture"))
        QCOMPARE(content.m_pictures.first().m_png, SamplePng());
}

void TestRtfCodec::damagedFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QStringList>("lines");  // lines that must be among those read

    QTest::newRow("truncated") << QStringLiteral("damaged-truncated-mid-group") << false
                               << QStringList{
                                      QStringLiteral("Times New Roman 10 pt: plain, bold, ital")};
    QTest::newRow("extra close brace")
        << QStringLiteral("damaged-extra-close-brace") << false
        << QStringList{QStringLiteral("Line before the extra braces."),
                       QStringLiteral("Text after three closing braces."),
                       QStringLiteral("A bold group after them.")};
    QTest::newRow("missing close brace")
        << QStringLiteral("damaged-missing-close-brace") << false
        << QStringList{QStringLiteral("First line."),
                       QStringLiteral("Bold group that is never closed."),
                       QStringLiteral("Italic group that is never closed either."),
                       QStringLiteral("Last line; the file ends without any closing brace.")};
    QTest::newRow("bin beyond the end") << QStringLiteral("damaged-bin-huge") << false
                                        << QStringList{QStringLiteral("Text before the picture."),
                                                       QStringLiteral("Text after the picture.")};
    QTest::newRow("10,000 nested groups")
        << QStringLiteral("damaged-deep-nesting") << true
        << QStringList{QStringLiteral("Before the deep nesting."), QStringLiteral("Deep text."),
                       QStringLiteral("After the deep nesting.")};
    QTest::newRow("invalid hex") << QStringLiteral("damaged-invalid-hex") << false
                                 << QStringList{
                                        QStringLiteral("Valid: caf\u00e9."),
                                        QStringLiteral("Invalid letters: caf."),
                                        QStringLiteral("One digit then a blank: caf."),
                                        QStringLiteral("Second digit not hex: caf."),
                                        QStringLiteral("Upper-case digits (valid): caf\u00e9."),
                                        QStringLiteral("Escape cut by the end of a group: caf"),
                                        QStringLiteral("Escape cut by a line break: caf\u00e9."),
                                        QStringLiteral("Last line.")};
    // Nothing tells a missing fallback from a present one, so this reads as good RTF; a group
    // end or a paragraph mark ends the skipping, but \uc1 makes the "d" of "done" a fallback.
    QTest::newRow("\\u without fallback")
        << QStringLiteral("damaged-u-no-fallback") << true
        << QStringList{QStringLiteral("Euro at the end of a group: \u20ac"),
                       QStringLiteral("Euro right before a control word: \u20ac"),
                       QStringLiteral("Euro followed by the delimiting blank only: \u20ac"),
                       QStringLiteral("Surrogate pair without fallbacks: \U0001F600one."),
                       QStringLiteral("Unicode as the last thing in the document: \u20ac")};
    QTest::newRow("empty") << QStringLiteral("damaged-empty") << false << QStringList();
    QTest::newRow("PNG renamed") << QStringLiteral("damaged-png-renamed") << false << QStringList();
    QTest::newRow("100-digit numbers")
        << QStringLiteral("damaged-long-param") << false
        << QStringList{QStringLiteral("Before."),
                       QStringLiteral("Text after a 100-digit font size."),
                       QStringLiteral("Text after a negative 100-digit colour index."),
                       QStringLiteral("Unicode with a 100-digit code: "), QStringLiteral("After.")};
}

void TestRtfCodec::damagedFiles() {
    QFETCH(QString, name);
    QFETCH(bool, readable);
    QFETCH(QStringList, lines);
    const QString path = DataPath(QStringLiteral("damaged/") + name + QStringLiteral(".rtf"));
    QVERIFY(QFile::exists(path));
    RtfContent content;
    QString error;
    QCOMPARE(ReadRtf(ReadWholeFile(path), content, &error), readable);
    QCOMPARE(error.isEmpty(), readable);
    QVERIFY(content.m_pictures.isEmpty());
    if (lines.isEmpty()) {
        QVERIFY(content.m_strText.isEmpty());
        return;
    }
    const QStringList read = Lines(content.m_strText);
    for (const QString& line : lines)
        QVERIFY2(read.contains(line), qPrintable(line + QStringLiteral(" in ") + read.join(u'|')));
}

void TestRtfCodec::reading_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::newRow("two-byte fallback")
        << QByteArray("{\\rtf1\\uc2\\u20320\\'c4\\'e3 x}") << QStringLiteral("\u4f60 x");
    QTest::newRow("\\uc ends with its group")
        << QByteArray("{\\rtf1{\\uc2\\u20320??}\\u20320?x}") << QStringLiteral("\u4f60\u4f60x");
    QTest::newRow("code point beyond 16 bits")
        << QByteArray("{\\rtf1\\u128512?}") << QStringLiteral("\U0001F600");
    QTest::newRow("lone surrogate")
        << QByteArray("{\\rtf1\\u55357?x}") << QStringLiteral("\ufffdx");
    QTest::newRow("the picture mark is not text")
        << QByteArray("{\\rtf1\\u-4?}") << QStringLiteral("\ufffd");
    QTest::newRow("cp1252 without \\ansicpg")
        << QByteArray("{\\rtf1\\ansi \\'93\\'80\\'94 caf\xe9}")
        << QStringLiteral("\u201c\u20ac\u201d caf\u00e9");
    QTest::newRow("delimiters") << QByteArray("{\\rtf1\\b bold\\b0  two\\par-x\\par\r\n5}")
                                << QStringLiteral("bold two\n-x\n5");
    QTest::newRow("symbols and special characters")
        << QByteArray("{\\rtf1 a\\emdash b\\~c\\_d\\lquote e\\rquote\\-f}")
        << QStringLiteral("a\u2014b\u00a0c\u2011d\u2018e\u2019f");
    QTest::newRow("backslash before a line end")
        << QByteArray("{\\rtf1 a\\\r\nb}") << QStringLiteral("a\nb");
    QTest::newRow("destinations without text")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\header H}{\\*\\unknown U}x}")
        << QStringLiteral("x");
    QTest::newRow("\\* only where a group starts")
        << QByteArray("{\\rtf1 a\\*b{\\*\\x c}d}") << QStringLiteral("abd");
    QTest::newRow("field result") << QByteArray(
                                         "{\\rtf1{\\field{\\*\\fldinst HYPERLINK "
                                         "\"u\"}{\\fldrslt link}}}")
                                  << QStringLiteral("link");
    QTest::newRow("\\bin data is not text")
        << QByteArray("{\\rtf1{\\object{\\*\\objdata\\bin4 }{\\}}}x}") << QStringLiteral("x");
    QTest::newRow("blanks after the end") << QByteArray("{\\rtf1 x}\r\n \t") << QStringLiteral("x");
    // The two forms of a character beyond ASCII that writers use, and both in one text.
    QTest::newRow("\\u with a code-page fallback")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1252\\uc1 Zo\\u235\\'eb \\u8211\\'96 na\\u239\\'efve}")
        << QStringLiteral("Zo\u00eb \u2013 na\u00efve");
    QTest::newRow("\\u with a question mark")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1252\\uc1 Zo\\u235? \\u8211? na\\u239?ve}")
        << QStringLiteral("Zo\u00eb \u2013 na\u00efve");
    QTest::newRow("both forms") << QByteArray(
                                       "{\\rtf1\\uc1 \\u235\\'eb\\u235?\\u26085?\\u8364\\'80}")
                                << QStringLiteral("\u00eb\u00eb\u65e5\u20ac");
}

void TestRtfCodec::reading() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    RtfContent content;
    QString error;
    QVERIFY2(ReadRtf(rtf, content, &error), qPrintable(error));
    QCOMPARE(content.m_strText, text);
}

void TestRtfCodec::pictures_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<int>("count");
    const QByteArray png = SamplePng();
    const QByteArray hex = png.toHex();

    const auto row = [](const char* name, const QByteArray& rtf, int count) {
        QTest::newRow(name) << rtf << count;
    };
    row("hex", "{\\rtf1 a" + PictureRtf(png) + "b}", 1);
    row("hex in lines", "{\\rtf1{\\pict\\pngblip\r\n" + hex.left(7) + "\r\n" + hex.mid(7) + "}}",
        1);
    row("\\bin", "{\\rtf1{\\pict\\pngblip\\bin" + QByteArray::number(png.size()) + ' ' + png + "}}",
        1);
    row("two", "{\\rtf1" + PictureRtf(png) + PictureRtf(png) + '}', 2);
    row("not PNG", "{\\rtf1{\\pict\\jpegblip ffd8ffe0}}", 0);
    row("copy for old readers",
        "{\\rtf1{\\nonshppict" + PictureRtf(png) + "}{\\*\\shprslt" + PictureRtf(png) + "}}", 0);
    row("shape fill",
        "{\\rtf1{\\shp{\\*\\shpinst{\\sp{\\sn fillBlip}{\\sv " + PictureRtf(png) + "}}}}}", 0);
    row("shape picture",
        "{\\rtf1{\\shp{\\*\\shpinst{\\sp{\\sn pib}{\\sv " + PictureRtf(png) + "}}}}}", 1);
    row("inside an unknown destination", "{\\rtf1{\\*\\unknown" + PictureRtf(png) + "}}", 0);
}

void TestRtfCodec::pictures() {
    QFETCH(QByteArray, rtf);
    QFETCH(int, count);
    RtfContent content;
    QString error;
    QVERIFY2(ReadRtf(rtf, content, &error), qPrintable(error));
    QCOMPARE(content.m_pictures.size(), count);
    QCOMPARE(content.m_strText.count(QChar(kPicture)), count);
    for (const RtfPicture& picture : std::as_const(content.m_pictures))
        QCOMPARE(picture.m_png, SamplePng());
}

void TestRtfCodec::roundTrip_data() {
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

void TestRtfCodec::roundTrip() {
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

void TestRtfCodec::picturesRoundTrip() {
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

void TestRtfCodec::writerHeader_data() {
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

void TestRtfCodec::writerHeader() {
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

void TestRtfCodec::writerMarksItsFiles() {
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

void TestRtfCodec::filesOfThisProgramAreKnown_data() {
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

void TestRtfCodec::filesOfThisProgramAreKnown() {
    QFETCH(QByteArray, start);
    QFETCH(bool, ours);
    QCOMPARE(IsWrittenByQuillpad(start), ours);
}

void TestRtfCodec::writtenCharacters_data() {
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

void TestRtfCodec::writtenCharacters() {
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
void TestRtfCodec::otherReadersReadTheCharacters() {
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

QUILLPAD_TEST_MAIN(TestRtfCodec)
#include "TestRtfCodec.moc"
