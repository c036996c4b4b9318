#include "PrivateBus.h"

#include <sys/prctl.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <csignal>

namespace {

constexpr int kStartTimeoutMs = 10000;

}  // namespace

PrivateBus::PrivateBus() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        m_strError = QStringLiteral("no dbus-daemon on PATH (Debian package dbus-daemon)");
        return;
    }
    // No service directories: a notification daemon installed here must not be started on
    // this bus in place of the test's own service.
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly)) {
        m_strError = QStringLiteral("cannot write the bus configuration");
        return;
    }
    file.write(
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig>\n  <type>session</type>\n  <listen>unix:path=" +
        QFile::encodeName(m_dir.filePath(QStringLiteral("bus"))) +
        "</listen>\n  <auth>EXTERNAL</auth>\n"
        "  <policy context=\"default\">\n    <allow send_destination=\"*\"/>\n"
        "    <allow receive_sender=\"*\"/>\n    <allow own=\"*\"/>\n  </policy>\n"
        "</busconfig>\n");
    file.close();
    m_daemon.setStandardErrorFile(QProcess::nullDevice());
    // A test that crashes takes its bus with it.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start(daemon, {QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                            QStringLiteral("--nosyslog"), QStringLiteral("--print-address"),
                            QStringLiteral("--config-file=") + config});
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!m_daemon.canReadLine() && !deadline.hasExpired() &&
           m_daemon.state() != QProcess::NotRunning)
        m_daemon.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    if (!m_daemon.canReadLine()) {
        m_strError = QStringLiteral("dbus-daemon did not start");
        return;
    }
    m_strAddress = QString::fromUtf8(m_daemon.readLine().trimmed());
}

PrivateBus::~PrivateBus() {
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}
