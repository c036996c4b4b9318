#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <map>

class QDBusMessage;
class QDBusPendingCallWatcher;

// Desktop notifications through the freedesktop Notifications service of a D-Bus session bus.
// Every call is asynchronous: a service that is slow, absent or never answers holds nothing up,
// and a notification that no service takes is simply not shown.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    static constexpr const char* kInterface = "org.freedesktop.Notifications";
    static constexpr const char* kDefaultAction = "default";
    // A reply that takes longer is given up.
    static constexpr int kReplyTimeoutMs = 10000;
    // Notifications followed at once; the oldest is forgotten beyond this (a service need not
    // say when one has gone).
    static constexpr int kMaxFollowed = 100;

    DesktopNotifier(const QString& appName, const QString& iconName,
                    const QDBusConnection& connection, QObject* parent = nullptr);

    // Asks for a notification with a plain-text summary and body whose default action (a click
    // on it) can be invoked. Returns the id that defaultActionInvoked names it by, or 0 when
    // there is no bus to ask.
    quint32 Notify(const QString& summary, const QString& body);
    // Withdraws a notification whose subject has gone; an unknown id is ignored.
    void Close(quint32 id);
    // Notifications asked for and not yet known to be gone.
    int FollowedCount() const { return static_cast<int>(m_followed.size()); }

Q_SIGNALS:
    void defaultActionInvoked(quint32 id);

private Q_SLOTS:
    // Bus signals, connected by QtDBus through their signatures.
    void OnActionInvoked(uint serverId, const QString& actionKey, const QDBusMessage& message);
    void OnNotificationClosed(uint serverId, uint reason, const QDBusMessage& message);

private:
    enum class Stage { AskingCapabilities, Notifying, Shown };
    struct Followed {
        Stage stage = Stage::AskingCapabilities;
        bool closeWanted = false;
        quint32 serverId = 0;
        QString owner;  // the unique bus name of the service that shows it
    };

    void SendNotify(quint32 id, const QString& summary, const QString& body);
    void OnNotifyAnswered(quint32 id, QDBusPendingCallWatcher* watcher);
    void SendClose(const Followed& followed);
    std::map<quint32, Followed>::iterator FindShown(uint serverId, const QString& owner);
    QDBusMessage Call(const QString& method) const;

    QString m_strAppName;
    QString m_strIconName;
    QDBusConnection m_connection;
    std::map<quint32, Followed> m_followed;  // by our id, oldest first
    quint32 m_nLastId = 0;
};
