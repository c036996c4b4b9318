#include "BusServices.h"

NotificationService::NotificationService(const QString& address, const QString& connectionName,
                                         const QStringList& capabilities)
    : m_strConnectionName(connectionName),
      m_connection(QDBusConnection::connectToBus(address, connectionName)),
      m_capabilities(capabilities) {
    m_bRegistered = m_connection.registerObject(
                        QStringLiteral("/org/freedesktop/Notifications"), this,
                        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
                    m_connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

NotificationService::~NotificationService() {
    m_connection.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    m_connection.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(m_strConnectionName);
}

bool NotificationService::Hold(const QVariant& answer) {
    if (!m_bHolding)
        return false;
    setDelayedReply(true);
    m_held.append({message(), answer});
    return true;
}

void NotificationService::ReleaseHeld() {
    for (const auto& [call, answer] : std::as_const(m_held))
        m_connection.send(call.createReply(answer));
    m_held.clear();
}

QStringList NotificationService::GetCapabilities() {
    Hold(m_capabilities);
    return m_capabilities;
}

uint NotificationService::Notify(const QString& appName, uint, const QString& icon,
                                 const QString& summary, const QString& body,
                                 const QStringList& actions, const QVariantMap& hints, int) {
    const uint id = ++m_nLastId;
    m_received.append({id, appName, icon, summary, body, actions, hints});
    Hold(QVariant::fromValue(id));
    return id;
}

void NotificationService::CloseNotification(uint id) {
    m_closeRequests.append(id);
}

void NotificationService::InvokeAction(uint id, const QString& actionKey) {
    Q_EMIT ActionInvoked(id, actionKey);
}

void NotificationService::SayClosed(uint id) {
    Q_EMIT NotificationClosed(id, 2);
}

StatusNotifierWatcher::StatusNotifierWatcher(const QString& address, const QString& connectionName,
                                             bool hostRegistered)
    : m_strConnectionName(connectionName),
      m_connection(QDBusConnection::connectToBus(address, connectionName)),
      m_bHostRegistered(hostRegistered) {
    m_bRegistered = m_connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                                QDBusConnection::ExportAllSlots |
                                                    QDBusConnection::ExportAllSignals |
                                                    QDBusConnection::ExportAllProperties) &&
                    m_connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

StatusNotifierWatcher::~StatusNotifierWatcher() {
    m_connection.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    m_connection.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    QDBusConnection::disconnectFromBus(m_strConnectionName);
}

void StatusNotifierWatcher::RegisterStatusNotifierItem(const QString& service) {
    m_items.append(service);
    m_owners.append(message().service());
    Q_EMIT StatusNotifierItemRegistered(service);
}

void StatusNotifierWatcher::RegisterStatusNotifierHost(const QString&) {}
