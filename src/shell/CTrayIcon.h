#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

class QMenu;

// The program's icon in the desktop's notification area, with its pop-up menu. A right click
// opens the menu (its first item, Send Message, is the bold default); a double click asks for
// that first item's command.
class CTrayIcon : public QObject {
    Q_OBJECT
public:
    explicit CTrayIcon(QObject* parent = nullptr);
    ~CTrayIcon() override;

    void SetMenu(QMenu* menu);
    // Shows the icon with its tool tip (or updates it); false when the desktop refused.
    bool SetIcon(const QIcon& icon, const QString& tip);
    void Remove();
    bool IsShown() const { return m_bShown; }
    QMenu* Menu() const { return m_menu; }

    // A mouse event on the icon; true when it was handled.
    bool HandleActivation(QSystemTrayIcon::ActivationReason reason);

Q_SIGNALS:
    void commandRequested(int id);

private:
    QSystemTrayIcon* m_icon = nullptr;
    QMenu* m_menu = nullptr;
    bool m_bShown = false;
};
