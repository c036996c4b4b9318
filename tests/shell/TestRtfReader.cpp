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

class TestRtfReader : public QObject {
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
};

void TestRtfReader::samplesReadToTheirText_data() {
    QTest::addColumn<QString>("name");
    for (const char* name :
         {"hand-minimal", "hand-escapes", "lo-a-plain", "lo-b-unicode", "lo-c-special",
          "lo-d-formatting", "lo-e-picture", "lo-e2-picture-shape", "lo-f-table", "lo-g-long",
          "pandoc-a-plain", "pandoc-b-unicode"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestRtfReader::samplesReadToTheirText() {
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

void TestRtfReader::samplePictures_data() {
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

void TestRtfReader::samplePictures() {
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

void TestRtfReader::damagedFiles_data() {
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

void TestRtfReader::damagedFiles() {
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

void TestRtfReader::reading_data() {
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

void TestRtfReader::reading() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    RtfContent content;
    QString error;
    QVERIFY2(ReadRtf(rtf, content, &error), qPrintable(error));
    QCOMPARE(content.m_strText, text);
}

void TestRtfReader::pictures_data() {
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

void TestRtfReader::pictures() {
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

QUILLPAD_TEST_MAIN(TestRtfReader)
#include "TestRtfReader.moc"
