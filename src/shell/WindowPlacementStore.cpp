#include "shell/WindowPlacementStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "app/CRegistry.h"
#include "shell/CChildFrame.h"

namespace {

QString InvalidDataText() {
    return QCoreApplication::translate("CRegistry", "The data is invalid.");
}

}  // namespace

WindowPlacementStore::WindowPlacementStore(const RegistryStore& store) : m_store(store) {}

bool WindowPlacementStore::Read(const QString& keyPath, const QString& valueName,
                                WindowPlacement& placement) {
    CRegistry reg(m_store);
    QByteArray data(WindowPlacement::kLength, '\0');
    quint32 size = WindowPlacement::kLength;
    const bool read =
        reg.OpenAndReadBinary(CRegistry::HKEY_CURRENT_USER, keyPath, valueName, data.data(), size);
    if (read && WindowPlacement::FromBytes(data.left(size), placement))
        return true;
    const QString reason = read ? InvalidDataText() : reg.ErrorText();
    m_strError = reason + QLatin1Char(':') + keyPath + QLatin1Char('\\') + valueName;
    return false;
}

bool WindowPlacementStore::Restore(const QString& keyPath, const QString& valueName,
                                   QWidget& window, bool forceHidden) {
    WindowPlacement placement;
    if (!Read(keyPath, valueName, placement))
        return false;
    if (!ScreenRules::Intersects(placement.NormalRect(), ScreenRects()))
        return false;
    if (forceHidden)
        placement.m_nShowCmd = WindowPlacement::Hidden;
    Apply(placement, window);
    return true;
}

bool WindowPlacementStore::ReadRect(const QString& keyPath, const QString& valueName, QRect& rect) {
    WindowPlacement placement;
    if (!Read(keyPath, valueName, placement))
        return false;
    rect = placement.NormalRect();
    return true;
}

bool WindowPlacementStore::Save(const QString& keyPath, const QString& valueName,
                                const QWidget& window) {
    const QByteArray bytes = Take(window).ToBytes();
    // Rewriting the store costs a durable write; a window closed where it was costs none.
    const QString previousError = m_strError;
    WindowPlacement stored;
    if (Read(keyPath, valueName, stored) && stored.ToBytes() == bytes)
        return true;
    m_strError = previousError;  // nothing stored yet is no failure of this save
    CRegistry reg(m_store);
    if (!reg.OpenAndCreate(CRegistry::HKEY_CURRENT_USER, QString(), keyPath)) {
        m_strError = reg.ErrorText() + QLatin1Char(':') + keyPath;
        return false;
    }
    if (!reg.WriteBinary(valueName, bytes.constData(), static_cast<quint32>(bytes.size()))) {
        m_strError = reg.ErrorText() + QLatin1Char(':') + keyPath + QLatin1Char('\\') + valueName;
        return false;
    }
    return true;
}

WindowPlacement WindowPlacementStore::Take(const QWidget& window) {
    WindowPlacement placement;
    // Like the platform's own record, a hidden window reports the state it would show in.
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized) {
        placement.m_nShowCmd = WindowPlacement::Minimized;
        if (state & Qt::WindowMaximized)
            placement.m_nFlags |= WindowPlacement::kRestoreToMaximized;
    } else if (state & Qt::WindowMaximized) {
        placement.m_nShowCmd = WindowPlacement::Maximized;
    }
    QRect normal;
    if (const auto* child = qobject_cast<const CChildFrame*>(&window))
        normal = child->NormalGeometry();
    else if (window.isWindow())
        normal = window.normalGeometry();
    if (!normal.isValid())
        normal = window.geometry();
    placement.SetNormalRect(normal);
    return placement;
}

void WindowPlacementStore::Apply(const WindowPlacement& placement, QWidget& window) {
    window.setGeometry(placement.NormalRect());
    switch (placement.m_nShowCmd) {
        case WindowPlacement::Hidden:
            window.hide();
            break;
        case WindowPlacement::Minimized:
            window.showMinimized();
            break;
        case WindowPlacement::Maximized:
            window.showMaximized();
            break;
        default:
            window.showNormal();
            break;
    }
}

QList<QRect> WindowPlacementStore::ScreenRects() {
    QList<QRect> rects;
    for (const QScreen* screen : QGuiApplication::screens())
        rects.append(screen->geometry());
    return rects;
}
