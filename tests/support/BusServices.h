#pragma once

// Small desktop services on a private bus (PrivateBus), each on a connection of its own as a
// separate program would be: a notification service and a tray's StatusNotifierWatcher.
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// org.freedesktop.Notifications: records what it is asked to show, and can hold its answers
// back (a service that hangs) or give them late.
class NotificationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        uint id = 0;
        QString appName;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };

    // Registers the service on the bus at address under the connection name.
    NotificationService(const QString& address, const QString& connectionName,
                        const QStringList& capabilities = {QStringLiteral("actions"),
                                                           QStringLiteral("body")});
    ~NotificationService() override;
    bool IsRegistered() const { return m_bRegistered; }

    const QList<Shown>& Received() const { return m_received; }
    const QList<uint>& CloseRequests() const { return m_closeRequests; }
    // While holding, calls are taken and not answered.
    void SetHolding(bool holding) { m_bHolding = holding; }
    int HeldCount() const { return static_cast<int>(m_held.size()); }
    // Answers every held call, as a slow service finally does.
    void ReleaseHeld();

    // What the user's click on a notification makes the service send.
    void InvokeAction(uint id, const QString& actionKey);
    void SayClosed(uint id);

public Q_SLOTS:
    QStringList GetCapabilities();
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout);
    void CloseNotification(uint id);

Q_SIGNALS:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    bool Hold(const QVariant& answer);

    QString m_strConnectionName;
    QDBusConnection m_connection;
    QStringList m_capabilities;
    bool m_bRegistered = false;
    bool m_bHolding = false;
    uint m_nLastId = 0;
    QList<Shown> m_received;
    QList<uint> m_closeRequests;
    QList<QPair<QDBusMessage, QVariant>> m_held;
};

// org.kde.StatusNotifierWatcher, the part of a tray that items register with.
class StatusNotifierWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)
public:
    // hostRegistered: whether a tray that shows items is there.
    StatusNotifierWatcher(const QString& address, const QString& connectionName,
                          bool hostRegistered);
    ~StatusNotifierWatcher() override;
    bool IsRegistered() const { return m_bRegistered; }

    bool IsStatusNotifierHostRegistered() const { return m_bHostRegistered; }
    int ProtocolVersion() const { return 0; }
    QStringList RegisteredStatusNotifierItems() const { return m_items; }
    // The bus names of the items' senders, in the order they registered.
    const QStringList& ItemOwners() const { return m_owners; }
    QDBusConnection Connection() const { return m_connection; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);

private:
    QString m_strConnectionName;
    QDBusConnection m_connection;
    bool m_bHostRegistered;
    bool m_bRegistered = false;
    QStringList m_items;
    QStringList m_owners;
};
