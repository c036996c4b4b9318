#include "shell/WindowPlacement.h"

#include <QtEndian>

namespace {

void Put(QByteArray& bytes, int index, qint32 value) {
    qToLittleEndian<qint32>(value, bytes.data() + 4 * index);
}

qint32 Get(const QByteArray& bytes, int index) {
    return qFromLittleEndian<qint32>(bytes.constData() + 4 * index);
}

bool OnSomeScreen(const QPoint& point, const QList<QRect>& screens) {
    for (const QRect& screen : screens) {
        if (screen.contains(point))
            return true;
    }
    return false;
}

}  // namespace

QByteArray WindowPlacement::ToBytes() const {
    QByteArray bytes(kLength, '\0');
    const qint32 fields[11] = {kLength,
                               m_nFlags,
                               m_nShowCmd,
                               m_ptMinPosition.x(),
                               m_ptMinPosition.y(),
                               m_ptMaxPosition.x(),
                               m_ptMaxPosition.y(),
                               m_nLeft,
                               m_nTop,
                               m_nRight,
                               m_nBottom};
    for (int i = 0; i < 11; ++i)
        Put(bytes, i, fields[i]);
    return bytes;
}

bool WindowPlacement::FromBytes(const QByteArray& data, WindowPlacement& placement) {
    if (data.size() != kLength || Get(data, 0) != kLength)
        return false;
    placement.m_nFlags = Get(data, 1);
    placement.m_nShowCmd = Get(data, 2);
    placement.m_ptMinPosition = QPoint(Get(data, 3), Get(data, 4));
    placement.m_ptMaxPosition = QPoint(Get(data, 5), Get(data, 6));
    placement.m_nLeft = Get(data, 7);
    placement.m_nTop = Get(data, 8);
    placement.m_nRight = Get(data, 9);
    placement.m_nBottom = Get(data, 10);
    return true;
}

QRect WindowPlacement::NormalRect() const {
    return QRect(QPoint(m_nLeft, m_nTop), QPoint(m_nRight - 1, m_nBottom - 1));
}

void WindowPlacement::SetNormalRect(const QRect& rect) {
    m_nLeft = rect.left();
    m_nTop = rect.top();
    m_nRight = rect.left() + rect.width();
    m_nBottom = rect.top() + rect.height();
}

bool ScreenRules::Intersects(const QRect& normalRect, const QList<QRect>& screens) {
    for (const QRect& screen : screens) {
        if (screen.intersects(normalRect))
            return true;
    }
    return false;
}

bool ScreenRules::LiesOn(const QRect& normalRect, const QList<QRect>& screens) {
    if (normalRect.width() <= 0 || normalRect.height() <= 0)
        return false;
    // The record's right and bottom lie outside the rectangle; those are the corners tested.
    const QPoint bottomRight(normalRect.left() + normalRect.width(),
                             normalRect.top() + normalRect.height());
    return OnSomeScreen(normalRect.topLeft(), screens) && OnSomeScreen(bottomRight, screens);
}
