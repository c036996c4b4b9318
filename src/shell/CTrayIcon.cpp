#include "shell/CTrayIcon.h"

#include <QMenu>

#include "shell/Commands.h"

CTrayIcon::CTrayIcon(QObject* parent) : QObject(parent) {}

CTrayIcon::~CTrayIcon() {
    Remove();
}

void CTrayIcon::SetMenu(QMenu* menu) {
    m_menu = menu;
    if (m_menu && !m_menu->actions().isEmpty())
        m_menu->setDefaultAction(m_menu->actions().first());
    if (m_icon)
        m_icon->setContextMenu(m_menu);
}

bool CTrayIcon::SetIcon(const QIcon& icon, const QString& tip) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        m_bShown = false;
        return false;
    }
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(this);
        m_icon->setContextMenu(m_menu);
        // Queued: a tray that asks over D-Bus has its answer at once, whatever the command then
        // asks of the user.
        connect(m_icon, &QSystemTrayIcon::activated, this, &CTrayIcon::HandleActivation,
                Qt::QueuedConnection);
    }
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip.left(63));
    m_icon->show();
    m_bShown = m_icon->isVisible();
    return m_bShown;
}

void CTrayIcon::Remove() {
    if (m_icon)
        m_icon->hide();
    m_bShown = false;
}

bool CTrayIcon::HandleActivation(QSystemTrayIcon::ActivationReason reason) {
    // A StatusNotifierItem host (the tray over D-Bus) knows no double click: its click, which
    // reaches us as a trigger of an icon whose place on the screen is not known, stands for it.
    // An icon in an X11 notification area has a place, and its double click comes as such.
    const bool statusNotifierClick =
        reason == QSystemTrayIcon::Trigger && m_icon && m_icon->geometry().isEmpty();
    if (reason != QSystemTrayIcon::DoubleClick && !statusNotifierClick)
        return false;  // the context menu is opened by the notification area itself
    Q_EMIT commandRequested(Cmd::SendMessageTray);
    return true;
}
