#pragma once

#include <QObject>
#include <QTextObjectInterface>

class QTextDocument;

// Sizes and draws the pictures pasted into a log. The log's plain-text layout (which keeps a
// month of notes fast to open and to append to) has no picture support of its own.
class LogImageHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    explicit LogImageHandler(QObject* parent = nullptr);

    // Makes the document use the log's layout, with this handler for its pictures.
    static void Install(QTextDocument& document);

    QSizeF intrinsicSize(QTextDocument* document, int positionInDocument,
                         const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document,
                    int positionInDocument, const QTextFormat& format) override;
};
