#pragma once

// FTP servers on loopback for the tests and the benchmark: the system's pyftpdlib serving a
// directory, and a scripted server for what real servers never do.

#include <sys/prctl.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

namespace ftptest {

// Debian's Python, which sees Debian's python3-pyftpdlib (another python3 on the PATH may not).
inline const QString kPython = QStringLiteral("/usr/bin/python3");
inline const QString kUser = QStringLiteral("tester");
inline const QString kPassword = QStringLiteral("secret");
inline constexpr int kStartTimeoutMs = 10000;
inline constexpr int kScriptTimeoutMs = 20000;  // the scripted server gives up after 15 seconds

#ifdef QUILLPAD_TEST_DATA
// The scripted server's script. Not through QFINDTESTDATA: a compiler launcher that rewrites
// paths relative to the build directory (ccache's base_dir) makes the source path it starts
// from relative, and the script is then not found.
inline QString ScriptServerPath() {
    return QDir::cleanPath(
        QStringLiteral(QUILLPAD_TEST_DATA "/../addressbook/ftp_script_server.py"));
}
#endif

// A server dies with the test, even when the test is killed by its watchdog.
inline void DieWithParent(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

// pyftpdlib serving directory read-only to user tester with password secret, on a port of the
// system's choosing.
class RealServer {
public:
    explicit RealServer(const QString& directory) {
        DieWithParent(m_process);
        // Its log goes to a file: a pipe nobody reads would stop the server once full.
        const QString log = m_log.filePath(QStringLiteral("log"));
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(log);
        m_process.start(kPython,
                        {QStringLiteral("-m"), QStringLiteral("pyftpdlib"), QStringLiteral("-i"),
                         QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QStringLiteral("0"),
                         QStringLiteral("-d"), directory, QStringLiteral("-u"), kUser,
                         QStringLiteral("-P"), kPassword});
        static const QRegularExpression started(
            QStringLiteral("starting FTP server on [0-9.]+:(\\d+)"));
        const QDeadlineTimer deadline(kStartTimeoutMs);
        while (m_nPort == 0 && !deadline.hasExpired() &&
               m_process.state() != QProcess::NotRunning) {
            QFile file(log);
            if (file.open(QIODevice::ReadOnly)) {
                const auto match = started.match(QString::fromUtf8(file.read(64 * 1024)));
                if (match.hasMatch())
                    m_nPort = match.captured(1).toUShort();
            }
            if (m_nPort == 0)
                QThread::msleep(20);
        }
    }
    ~RealServer() {
        m_process.kill();
        m_process.waitForFinished(kStartTimeoutMs);
    }
    RealServer(const RealServer&) = delete;
    RealServer& operator=(const RealServer&) = delete;

    // The "Server" setting that reaches it.
    QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(m_nPort); }
    quint16 Port() const { return m_nPort; }
    // What the server wrote about its sessions.
    QByteArray Log() const {
        QFile file(m_log.filePath(QStringLiteral("log")));
        return file.open(QIODevice::ReadOnly) ? file.read(1024 * 1024) : QByteArray();
    }

private:
    QTemporaryDir m_log;
    QProcess m_process;
    quint16 m_nPort = 0;
};

// scriptPath (ftp_script_server.py) playing the given steps for one session.
class ScriptedServer {
public:
    ScriptedServer(const QString& scriptPath, const QStringList& steps) {
        DieWithParent(m_process);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(kPython, {scriptPath});
        m_process.write(steps.join(u'\n').toLatin1());
        m_process.closeWriteChannel();
        const QDeadlineTimer deadline(kStartTimeoutMs);
        while (!m_process.canReadLine() && !deadline.hasExpired() &&
               m_process.state() != QProcess::NotRunning)
            m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        m_nPort = m_process.readLine().trimmed().toUShort();
    }
    ~ScriptedServer() {
        m_process.kill();
        m_process.waitForFinished(kStartTimeoutMs);
    }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(m_nPort); }
    quint16 Port() const { return m_nPort; }

    // The commands received, once the client has closed the connection. The data port of a
    // PORT command differs from run to run and is left out.
    QStringList Commands() {
        m_process.waitForFinished(kScriptTimeoutMs);
        QStringList commands;
        static const QRegularExpression port(QStringLiteral("^PORT 127,0,0,1,\\d+,\\d+$"));
        for (const QByteArray& line : m_process.readAllStandardOutput().split('\n')) {
            if (!line.startsWith("C: "))
                continue;
            const QString command = QString::fromLatin1(line.mid(3));
            commands.append(port.match(command).hasMatch() ? QStringLiteral("PORT 127,0,0,1,*")
                                                           : command);
        }
        return commands;
    }

private:
    QProcess m_process;
    quint16 m_nPort = 0;
};

}  // namespace ftptest
