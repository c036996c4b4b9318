#include <QBuffer>
#include <QPainter>
#include <QPixmap>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QtTest>

#include "TestSupport.h"
#include "shell/LogRtf.h"

namespace {

QString DataPath(const QString& name) {
    return QStringLiteral(QUILLPAD_TEST_DATA "/rtf/") + name;
}

// Opaque, and different in every pixel, so that a mix-up of rows or channels shows.
QImage PastedImage() {
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 6, y * 8, (x + y) % 256));
    }
    return image;
}

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QList<QTextImageFormat> Images(const QTextDocument& document) {
    QList<QTextImageFormat> images;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                images.append(it.fragment().charFormat().toImageFormat());
        }
    }
    return images;
}

QImage ImageOf(const QTextDocument& document, const QTextImageFormat& format) {
    return document.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
}

}  // namespace

class TestLogRtf : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pastedPictureSurvives_data();
    void pastedPictureSurvives();
    void sampleShowsItsPicture();
    void manyLinesOpenAsFewParagraphs();
    void contentIsReplaced();
    void whatCannotBeWrittenIsCounted();
};

void TestLogRtf::pastedPictureSurvives_data() {
    QTest::addColumn<QVariant>("resource");
    QTest::addColumn<qreal>("width");  // 0: shown at its own size
    const QImage image = PastedImage();
    QTest::newRow("QImage") << QVariant(image) << 0.0;
    QTest::newRow("QImage shown larger") << QVariant(image) << 60.0;
    QTest::newRow("QPixmap") << QVariant(QPixmap::fromImage(image)) << 0.0;
    QTest::newRow("PNG bytes") << QVariant(Encoded(image, "PNG")) << 0.0;
    QTest::newRow("BMP bytes") << QVariant(Encoded(image, "BMP")) << 0.0;
}

void TestLogRtf::pastedPictureSurvives() {
    QFETCH(QVariant, resource);
    QFETCH(qreal, width);
    QTextDocument document;
    const QUrl name(QStringLiteral("pasted:1"));
    document.addResource(QTextDocument::ImageResource, name, resource);
    QTextCursor cursor(&document);
    cursor.insertText(QStringLiteral("+++ Note 1 +++\nTO: Bob\nFROM: Alice\nSee: "));
    QTextImageFormat format;
    format.setName(name.toString());
    if (width > 0) {
        format.setWidth(width);
        format.setHeight(width * 3 / 4);
    }
    cursor.insertImage(format);
    cursor.insertText(QStringLiteral(" and\tthis\u2028line, caf\u00e9 \u4f60\u597d \U0001F600\n"));

    const QByteArray rtf = DocumentToRtf(document, QStringLiteral("Times New Roman"), 20);
    QTextDocument back;
    QString error;
    QVERIFY2(RtfToDocument(rtf, back, &error), qPrintable(error));

    QCOMPARE(back.toPlainText(), document.toPlainText());
    const QList<QTextImageFormat> images = Images(back);
    QCOMPARE(images.size(), 1);
    const QImage image = ImageOf(back, images.first());
    QCOMPARE(image.size(), QSize(40, 30));
    QCOMPARE(image.convertToFormat(QImage::Format_RGB32), PastedImage());
    // The file gives every picture its size; at its own size that is its pixels at 96 dpi.
    QCOMPARE(images.first().width(), width > 0 ? width : 40.0);
    QCOMPARE(images.first().height(), width > 0 ? width * 3 / 4 : 30.0);
}

void TestLogRtf::sampleShowsItsPicture() {
    QTextDocument document;
    QString error;
    QVERIFY2(RtfToDocument(ReadWholeFile(DataPath(QStringLiteral("lo-e-picture.rtf"))), document,
                           &error),
             qPrintable(error));
    QCOMPARE(
        document.toPlainText(),
        QStringLiteral("Text line before the picture.\n\uFFFC\nText line after the picture.\n"));
    const QList<QTextImageFormat> images = Images(document);
    QCOMPARE(images.size(), 1);
    const QImage expected(DataPath(QStringLiteral("src/picture.png")));
    QCOMPARE(ImageOf(document, images.first()).convertToFormat(QImage::Format_RGB32),
             expected.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(images.first().width(), 1134 / 15.0);  // 600 twips scaled by 189 %

    // Drawn, not a placeholder: the picture's red quarter appears on the page.
    QImage page(document.size().toSize(), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    document.drawContents(&painter);
    painter.end();
    int red = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QRgb pixel = page.pixel(x, y);
            red += qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60 ? 1 : 0;
        }
    }
    QVERIFY2(red > 200, qPrintable(QString::number(red)));
}

void TestLogRtf::manyLinesOpenAsFewParagraphs() {
    QTextDocument document;
    QTextCursor cursor(&document);
    for (int i = 0; i < 1000; ++i)
        cursor.insertText(QStringLiteral("line %1\r\n").arg(i));
    QTextDocument back;
    QVERIFY(RtfToDocument(DocumentToRtf(document, QStringLiteral("Times New Roman"), 20), back,
                          nullptr));
    QCOMPARE(back.toPlainText(), document.toPlainText());
    QVERIFY2(back.blockCount() <= 1000 / 64 + 2, qPrintable(QString::number(back.blockCount())));
    // The log goes on in a paragraph of its own after the last line read.
    QVERIFY(back.lastBlock().text().isEmpty());
    // Saved again, the file reads back to the same text.
    QTextDocument again;
    QVERIFY(
        RtfToDocument(DocumentToRtf(back, QStringLiteral("Times New Roman"), 20), again, nullptr));
    QCOMPARE(again.toPlainText(), document.toPlainText());
}

void TestLogRtf::contentIsReplaced() {
    QTextDocument document;
    document.setPlainText(QStringLiteral("old text\nof an earlier month"));
    QString error;
    QVERIFY(RtfToDocument("{\\rtf1 new\\par}", document, &error));
    QCOMPARE(document.toPlainText(), QStringLiteral("new\n"));
    QVERIFY(!document.isUndoAvailable());

    QVERIFY(!RtfToDocument("not RTF", document, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(document.isEmpty());
}

void TestLogRtf::whatCannotBeWrittenIsCounted() {
    QTextDocument document;
    document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("pasted:1")),
                         PastedImage());
    QTextCursor cursor(&document);
    QTextImageFormat kept;
    kept.setName(QStringLiteral("pasted:1"));
    QTextImageFormat gone;  // its image is not in the document
    gone.setName(QStringLiteral("pasted:2"));
    cursor.insertText(QStringLiteral("a"));
    cursor.insertImage(kept);
    cursor.insertImage(gone);
    cursor.insertText(QStringLiteral("b") + QChar(QChar::ObjectReplacementCharacter) +
                      QStringLiteral("c"));  // the mark typed as text
    int unwritten = -1;
    const QByteArray rtf =
        DocumentToRtf(document, QStringLiteral("Times New Roman"), 20, &unwritten);
    QCOMPARE(unwritten, 1);
    QTextDocument back;
    QVERIFY(RtfToDocument(rtf, back, nullptr));
    QCOMPARE(back.toPlainText(), QStringLiteral("a\uFFFCb\uFFFDc"));
    QCOMPARE(Images(back).size(), 1);

    DocumentToRtf(back, QStringLiteral("Times New Roman"), 20, &unwritten);
    QCOMPARE(unwritten, 0);
}

QUILLPAD_TEST_GUI_MAIN(TestLogRtf)
#include "TestLogRtf.moc"
