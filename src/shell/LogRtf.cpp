#include "shell/LogRtf.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <QUuid>

#include "shell/RtfCodec.h"

namespace {

constexpr char16_t kPicture = 0xFFFC;
constexpr char16_t kBeginningOfFrame = 0xFDD0;
constexpr char16_t kEndOfFrame = 0xFDD1;
constexpr qreal kTwipsPerPixel = 15.0;  // at 96 dpi
constexpr int kLinesPerParagraph = kLogLinesPerParagraph;

QByteArray PngOf(const QVariant& resource) {
    QImage image;
    switch (resource.typeId()) {
        case QMetaType::QImage:
            image = resource.value<QImage>();
            break;
        case QMetaType::QPixmap:
            image = resource.value<QPixmap>().toImage();
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = resource.toByteArray();
            if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
                return bytes;
            image = QImage::fromData(bytes);
            break;
        }
        default:
            return {};
    }
    if (image.isNull())
        return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

int ToTwips(qreal pixels) {
    return pixels > 0 ? qRound(pixels * kTwipsPerPixel) : 0;
}

QTextCharFormat FormatAt(const QTextDocument& document, int position) {
    const QTextBlock block = document.findBlock(position);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.contains(position))
            return fragment.charFormat();
    }
    return {};
}

// Turns all but every kLinesPerParagraph-th paragraph end into a line break. The last one
// stays, so that the log goes on in a paragraph of its own.
void JoinLines(QString& text) {
    const qsizetype last = text.lastIndexOf(QLatin1Char('\n'));
    int lines = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QChar::LineSeparator) {
            ++lines;
        } else if (c == QLatin1Char('\n')) {
            if (lines < kLinesPerParagraph - 1 && i != last) {
                text[i] = QChar::LineSeparator;
                ++lines;
            } else {
                lines = 0;
            }
        }
    }
}

}  // namespace

QByteArray DocumentToRtf(const QTextDocument& document, const QString& faceName, int halfPoints,
                         int* unwritten) {
    // The raw text indexes like the document: a paragraph separator ends each block and every
    // image stands as one object mark, so only the marks need a look at the formats.
    RtfContent content;
    QString& text = content.m_strText;
    text = document.toRawText();
    QHash<QString, QByteArray> pngByName;  // a picture pasted twice is encoded once
    qsizetype kept = 0;
    int left = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == kBeginningOfFrame || c == kEndOfFrame) {
            text[kept++] = QChar::ParagraphSeparator;
            continue;
        }
        if (c == QChar::LineSeparator) {
            // Lines are joined only while the log is held in memory; its file has a paragraph
            // per line, as logs always had.
            text[kept++] = QLatin1Char('\n');
            continue;
        }
        if (c != kPicture) {
            if (kept != i)
                text[kept] = text.at(i);
            ++kept;
            continue;
        }
        const QTextCharFormat format = FormatAt(document, static_cast<int>(i));
        if (!format.isImageFormat()) {
            if (format.objectType() == QTextFormat::NoObject)
                text[kept++] = QChar::ReplacementCharacter;  // a mark typed as text, as read
            else
                ++left;
            continue;
        }
        const QTextImageFormat image = format.toImageFormat();
        auto png = pngByName.find(image.name());
        if (png == pngByName.end()) {
            png = pngByName.insert(
                image.name(),
                PngOf(document.resource(QTextDocument::ImageResource, QUrl(image.name()))));
        }
        if (png->isEmpty()) {
            ++left;
            continue;
        }
        RtfPicture picture;
        picture.m_png = *png;
        picture.m_nWidthTwips = ToTwips(image.width());
        picture.m_nHeightTwips = ToTwips(image.height());
        content.m_pictures.append(picture);
        text[kept++] = QChar(kPicture);
    }
    text.truncate(kept);
    if (unwritten)
        *unwritten = left;
    return WriteRtf(content, faceName, halfPoints);
}

bool RtfToDocument(QByteArrayView rtf, QTextDocument& document, QString* error) {
    RtfContent content;
    QString reason;
    bool whole = ReadRtf(rtf, content, &reason);
    JoinLines(content.m_strText);

    // Loading is not an edit the user could undo; without undo it is also much faster.
    const bool undoRedo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    const QTextCharFormat textFormat = cursor.charFormat();
    const QString& text = content.m_strText;
    qsizetype start = 0;
    qsizetype nextPicture = 0;
    for (;;) {
        const qsizetype mark = text.indexOf(QChar(kPicture), start);
        const qsizetype end = mark < 0 ? text.size() : mark;
        if (end > start)
            cursor.insertText(text.mid(start, end - start), textFormat);
        if (mark < 0)
            break;
        start = mark + 1;
        if (nextPicture == content.m_pictures.size())
            continue;
        const RtfPicture& picture = content.m_pictures.at(nextPicture++);
        const QImage image = QImage::fromData(picture.m_png, "PNG");
        if (image.isNull()) {
            if (whole)
                reason = QCoreApplication::translate("LogRtf", "A picture in the file is damaged.");
            whole = false;
            continue;
        }
        const QUrl name(QStringLiteral("quillpad-picture:") +
                        QUuid::createUuid().toString(QUuid::WithoutBraces));
        document.addResource(QTextDocument::ImageResource, name, image);
        QTextImageFormat format;
        format.setName(name.toString());
        if (picture.m_nWidthTwips > 0)
            format.setWidth(picture.m_nWidthTwips / kTwipsPerPixel);
        if (picture.m_nHeightTwips > 0)
            format.setHeight(picture.m_nHeightTwips / kTwipsPerPixel);
        cursor.insertImage(format);
    }
    cursor.endEditBlock();
    document.setUndoRedoEnabled(undoRedo);
    if (error)
        *error = reason;
    return whole;
}
