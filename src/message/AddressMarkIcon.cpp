#include "message/AddressMarkIcon.h"

#include <QPainter>

namespace {

QIcon DrawMarkIcon(int mark) {
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(1, 1, 11, 11);
    if (mark == AddressMark::Listening) {
        painter.setPen(QPen(QColor(0, 128, 0), 2));
        painter.drawPolyline(QPolygon({QPoint(3, 7), QPoint(6, 10), QPoint(11, 3)}));
    } else if (mark == AddressMark::NotListening) {
        painter.setPen(QPen(QColor(192, 0, 0), 2));
        painter.drawLine(3, 3, 10, 10);
        painter.drawLine(10, 3, 3, 10);
    } else {
        painter.setPen(QPen(Qt::gray, 1));
        painter.drawText(QRect(1, 1, 12, 12), Qt::AlignCenter, QStringLiteral("?"));
    }
    return QIcon(pixmap);
}

}  // namespace

const QIcon& AddressMarkIcon(int mark) {
    static const QIcon icons[3] = {DrawMarkIcon(0), DrawMarkIcon(1), DrawMarkIcon(2)};
    return icons[qBound(0, mark, 2)];
}
