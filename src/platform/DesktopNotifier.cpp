#include "platform/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(const QString& appName, const QString& iconName,
                                 const QDBusConnection& connection, QObject* parent)
    : QObject(parent), m_strAppName(appName), m_strIconName(iconName), m_connection(connection) {
    if (!m_connection.isConnected())
        return;
    // Signals from any sender: naming the service would make QtDBus look up its owner with a
    // call that waits. The owner is checked per notification instead.
    m_connection.connect(QString(), QLatin1String(kPath), QLatin1String(kInterface),
                         QStringLiteral("ActionInvoked"), this,
                         SLOT(OnActionInvoked(uint, QString, QDBusMessage)));
    m_connection.connect(QString(), QLatin1String(kPath), QLatin1String(kInterface),
                         QStringLiteral("NotificationClosed"), this,
                         SLOT(OnNotificationClosed(uint, uint, QDBusMessage)));
}

QDBusMessage DesktopNotifier::Call(const QString& method) const {
    return QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                          QLatin1String(kInterface), method);
}

quint32 DesktopNotifier::Notify(const QString& summary, const QString& body) {
    if (!m_connection.isConnected())
        return 0;
    if (++m_nLastId == 0)
        ++m_nLastId;
    const quint32 id = m_nLastId;
    m_followed[id] = Followed{};
    if (static_cast<int>(m_followed.size()) > kMaxFollowed)
        m_followed.erase(m_followed.begin());
    // Whether the body is read as markup decides how it is written, so that a note's text
    // shows as typed and never as markup of its sender's making.
    auto* watcher = new QDBusPendingCallWatcher(
        m_connection.asyncCall(Call(QStringLiteral("GetCapabilities")), kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, id, summary, body](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                const auto it = m_followed.find(id);
                if (it == m_followed.end())
                    return;  // withdrawn meanwhile
                const QDBusPendingReply<QStringList> reply = *answered;
                if (reply.isError()) {
                    m_followed.erase(it);  // no service: no notification
                    return;
                }
                const bool markup = reply.value().contains(QStringLiteral("body-markup"));
                SendNotify(id, summary, markup ? body.toHtmlEscaped() : body);
            });
    return id;
}

void DesktopNotifier::SendNotify(quint32 id, const QString& summary, const QString& body) {
    QVariantMap hints;
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
    const QString desktopEntry = QGuiApplication::desktopFileName();
    if (!desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), desktopEntry);
    QDBusMessage call = Call(QStringLiteral("Notify"));
    call.setArguments({m_strAppName, quint32(0), m_strIconName, summary, body,
                       QStringList{QLatin1String(kDefaultAction), tr("Show")}, hints, qint32(-1)});
    m_followed[id].stage = Stage::Notifying;
    auto* watcher =
        new QDBusPendingCallWatcher(m_connection.asyncCall(call, kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, id](QDBusPendingCallWatcher* answered) { OnNotifyAnswered(id, answered); });
}

void DesktopNotifier::OnNotifyAnswered(quint32 id, QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const auto it = m_followed.find(id);
    if (it == m_followed.end())
        return;
    const QDBusPendingReply<quint32> reply = *watcher;
    if (reply.isError()) {
        m_followed.erase(it);
        return;
    }
    it->second.stage = Stage::Shown;
    it->second.serverId = reply.value();
    it->second.owner = watcher->reply().service();
    if (it->second.closeWanted) {
        SendClose(it->second);
        m_followed.erase(it);
    }
}

void DesktopNotifier::Close(quint32 id) {
    const auto it = m_followed.find(id);
    if (it == m_followed.end())
        return;
    switch (it->second.stage) {
        case Stage::AskingCapabilities:
            m_followed.erase(it);  // it is never asked for
            break;
        case Stage::Notifying:
            it->second.closeWanted = true;  // withdrawn once the service has said its id
            break;
        case Stage::Shown:
            SendClose(it->second);
            m_followed.erase(it);
            break;
    }
}

void DesktopNotifier::SendClose(const Followed& followed) {
    QDBusMessage call = QDBusMessage::createMethodCall(followed.owner, QLatin1String(kPath),
                                                       QLatin1String(kInterface),
                                                       QStringLiteral("CloseNotification"));
    call.setArguments({followed.serverId});
    m_connection.send(call);
}

std::map<quint32, DesktopNotifier::Followed>::iterator DesktopNotifier::FindShown(
    uint serverId, const QString& owner) {
    for (auto it = m_followed.begin(); it != m_followed.end(); ++it) {
        if (it->second.stage == Stage::Shown && it->second.serverId == serverId &&
            it->second.owner == owner)
            return it;
    }
    return m_followed.end();
}

void DesktopNotifier::OnActionInvoked(uint serverId, const QString& actionKey,
                                      const QDBusMessage& message) {
    const auto it = FindShown(serverId, message.service());
    if (it != m_followed.end() && actionKey == QLatin1String(kDefaultAction))
        Q_EMIT defaultActionInvoked(it->first);
}

void DesktopNotifier::OnNotificationClosed(uint serverId, uint, const QDBusMessage& message) {
    const auto it = FindShown(serverId, message.service());
    if (it != m_followed.end())
        m_followed.erase(it);
}
