#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A D-Bus daemon of the test's own, listening on a socket in a temporary directory: no service
// can be started on it, and nothing of the user's desktop session is on it. Stopped with the
// object.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool IsRunning() const { return !m_strAddress.isEmpty(); }
    // Why there is no bus (for QSKIP), when IsRunning() is false.
    const QString& Error() const { return m_strError; }
    // What DBUS_SESSION_BUS_ADDRESS is set to for a client of this bus.
    const QString& Address() const { return m_strAddress; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_strAddress;
    QString m_strError;
};
