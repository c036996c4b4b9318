#pragma once

// Name lookups that hang, as they do when the name server does not answer: the test process
// moves into a network namespace of its own in which the name server of /etc/resolv.conf is an
// address on loopback, and a socket there takes the questions and never answers them.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace silentdns {

// The first IPv4 name server the system's resolver asks.
inline QString SystemNameServer() {
    QFile conf(QStringLiteral("/etc/resolv.conf"));
    if (!conf.open(QIODevice::ReadOnly))
        return QString();
    static const QRegularExpression line(
        QStringLiteral("^\\s*nameserver\\s+(\\d+\\.\\d+\\.\\d+\\.\\d+)\\s*$"),
        QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(conf.read(64 * 1024))).captured(1);
}

// Moves the calling thread, and the threads and processes it starts from now on, into a new
// network namespace holding loopback and the name server's address on it. Call it first in
// initTestCase, before anything starts a thread or a server. Empty on success, else why not.
inline QString EnterOwnNetwork() {
    const QString server = SystemNameServer();
    if (server.isEmpty())
        return QStringLiteral("no IPv4 name server in /etc/resolv.conf");
    if (::unshare(CLONE_NEWNET) != 0)
        return QStringLiteral("no network namespace of our own (needs root): %1")
            .arg(QString::fromLocal8Bit(::strerror(errno)));
    const QList<QStringList> commands = {
        {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("up")},
        {QStringLiteral("addr"), QStringLiteral("add"), server + QStringLiteral("/32"),
         QStringLiteral("dev"), QStringLiteral("lo")}};
    for (const QStringList& arguments : commands) {
        if (QProcess::execute(QStringLiteral("ip"), arguments) != 0)
            return QStringLiteral("ip %1 failed").arg(arguments.join(u' '));
    }
    return QString();
}

// While it lives, the name server (on loopback after EnterOwnNetwork) takes questions and
// answers none, so a lookup waits until the resolver gives up. Without it a lookup fails at
// once, as the port is closed.
class SilentNameServer {
public:
    SilentNameServer() {
        const QByteArray address = SystemNameServer().toLatin1();
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(53);
        m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (m_socket >= 0 &&
            (::inet_pton(AF_INET, address.constData(), &where.sin_addr) != 1 ||
             ::bind(m_socket, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0)) {
            ::close(m_socket);
            m_socket = -1;
        }
    }
    ~SilentNameServer() {
        if (m_socket >= 0)
            ::close(m_socket);
    }
    SilentNameServer(const SilentNameServer&) = delete;
    SilentNameServer& operator=(const SilentNameServer&) = delete;

    bool IsListening() const { return m_socket >= 0; }

private:
    int m_socket = -1;
};

// A name that only the name server could answer.
inline const QString kUnansweredName = QStringLiteral("books.quillpad-test.example");

}  // namespace silentdns
