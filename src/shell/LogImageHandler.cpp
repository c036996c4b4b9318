#include "shell/LogImageHandler.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextDocumentLayout>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

namespace {

QImage ImageOf(const QTextDocument& document, const QTextImageFormat& format) {
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(format.name()));
    if (resource.typeId() == QMetaType::QImage)
        return resource.value<QImage>();
    if (resource.typeId() == QMetaType::QPixmap)
        return resource.value<QPixmap>().toImage();
    if (resource.typeId() == QMetaType::QByteArray)
        return QImage::fromData(resource.toByteArray());
    return QImage();
}

}  // namespace

LogImageHandler::LogImageHandler(QObject* parent) : QObject(parent) {}

void LogImageHandler::Install(QTextDocument& document) {
    auto* layout = new QPlainTextDocumentLayout(&document);
    document.setDocumentLayout(layout);
    layout->registerHandler(QTextFormat::ImageObject, new LogImageHandler(layout));
}

QSizeF LogImageHandler::intrinsicSize(QTextDocument* document, int, const QTextFormat& format) {
    const QTextImageFormat image = format.toImageFormat();
    if (image.hasProperty(QTextFormat::ImageWidth) && image.hasProperty(QTextFormat::ImageHeight))
        return QSizeF(image.width(), image.height());
    const QImage picture = ImageOf(*document, image);
    if (picture.isNull())
        return QSizeF(16, 16);
    QSizeF size = picture.size();
    if (image.hasProperty(QTextFormat::ImageWidth))
        size = QSizeF(image.width(), image.width() * size.height() / qMax<qreal>(1, size.width()));
    else if (image.hasProperty(QTextFormat::ImageHeight))
        size =
            QSizeF(image.height() * size.width() / qMax<qreal>(1, size.height()), image.height());
    return size;
}

void LogImageHandler::drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document,
                                 int, const QTextFormat& format) {
    const QImage picture = ImageOf(*document, format.toImageFormat());
    if (picture.isNull()) {
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        return;
    }
    painter->drawImage(rect, picture);
}
