#include "net/CNoteSocket.h"

#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <cstring>

#include "net/HostLookup.h"

namespace {

constexpr int kWaitSliceMs = 100;

QString DottedAddress(const QHostAddress& address) {
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4).toString() : address.toString();
}

}  // namespace

CNoteSocket::CNoteSocket(QObject* parent) : QObject(parent) {}

bool CNoteSocket::WaitSliced(const QDeadlineTimer& deadline,
                             const std::function<bool(int)>& wait) const {
    while (!deadline.hasExpired() && !Cancelled()) {
        if (wait(static_cast<int>(qMin<qint64>(deadline.remainingTime(), kWaitSliceMs))))
            return true;
        if (m_socket->error() != QAbstractSocket::SocketTimeoutError &&
            m_socket->error() != QAbstractSocket::UnknownSocketError)
            return false;
    }
    return false;
}

CNoteSocket::~CNoteSocket() {
    if (m_socket)
        m_socket->abort();
}

CNoteSocket::Connect CNoteSocket::ConnectToAddress(const QHostAddress& address, quint16 port,
                                                   const QDeadlineTimer& deadline) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    if (isIPv4) {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(ipv4);
        length = sizeof(sockaddr_in);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        bool numeric = false;
        const uint scope = address.scopeId().toUInt(&numeric);
        in6->sin6_scope_id =
            numeric ? scope : ::if_nametoindex(address.scopeId().toLocal8Bit().constData());
        length = sizeof(sockaddr_in6);
    } else {
        return Connect::Failed;
    }

    const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Connect::NoSocket;
    // The connect goes on in the system while this thread looks every tenth of a second
    // whether it has ended, the time is up or the run is cancelled.
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0;
    if (!connected && errno == EINPROGRESS) {
        while (!deadline.hasExpired() && !Cancelled()) {
            pollfd poll{fd, POLLOUT, 0};
            const int ready = ::poll(
                &poll, 1, static_cast<int>(qMin<qint64>(deadline.remainingTime(), kWaitSliceMs)));
            if (ready < 0 && errno != EINTR)
                break;
            if (ready > 0) {
                int error = 0;
                socklen_t size = sizeof error;
                connected =
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
                break;
            }
        }
    }
    if (connected) {
        m_socket = new QTcpSocket(this);
        if (m_socket->setSocketDescriptor(fd, QAbstractSocket::ConnectedState))
            return Connect::Connected;
        delete m_socket;
        m_socket = nullptr;
    }
    ::close(fd);
    return Connect::Failed;
}

bool CNoteSocket::ConnectTo(QString* error, const QString& address, qint64 port,
                            int timeoutSeconds) {
    auto fail = [error](const char* text) {
        if (error)
            *error = QString::fromLatin1(text);
        return false;
    };
    m_bBlocking = true;
    delete m_socket;
    m_socket = nullptr;
    if (port < 1 || port > 65535)
        return fail("Error connecting to remote machine");
    const int seconds = timeoutSeconds > 0 ? timeoutSeconds : kDefaultConnectTimeoutSeconds;
    const QDeadlineTimer deadline(static_cast<qint64>(seconds) * 1000);
    const std::optional<QList<QHostAddress>> addresses =
        LookUpHost(address, deadline, [this] { return Cancelled(); });
    bool noSocket = false;
    // A name with several addresses: each is tried in turn until one answers or the time is up.
    for (const QHostAddress& host : addresses.value_or(QList<QHostAddress>())) {
        if (deadline.hasExpired() || Cancelled())
            break;
        switch (ConnectToAddress(host, static_cast<quint16>(port), deadline)) {
            case Connect::Connected:
                return true;
            case Connect::NoSocket:
                noSocket = true;
                break;
            case Connect::Failed:
                break;
        }
    }
    return fail(noSocket ? "Error creating communication socket"
                         : "Error connecting to remote machine");
}

void CNoteSocket::Attach(QTcpSocket* socket) {
    m_bBlocking = false;
    m_socket = socket;
    m_socket->setParent(this);
    m_partialTimer = new QTimer(this);
    m_partialTimer->setSingleShot(true);
    m_partialTimer->setInterval(kPartialRecordTimeoutMs);
    connect(m_partialTimer, &QTimer::timeout, this, &CNoteSocket::OnPartialTimeout);
    connect(m_socket, &QTcpSocket::readyRead, this, &CNoteSocket::OnReadyRead);
    // A connection that ends in the middle of a record ends without acting on it.
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_bHeld) {
            m_bPeerClosedWhileHeld = true;
            return;
        }
        OnReadyRead();
        Finish();
    });
    // A connection that never sends anything would hold its place among those read for ever.
    m_partialTimer->start();
    if (m_socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &CNoteSocket::OnReadyRead);
}

bool CNoteSocket::SendMsg(const CMsg& msg) {
    if (!IsOpen())
        return false;
    const QByteArray bytes = msg.Encode();
    if (m_socket->write(bytes) != bytes.size())
        return false;
    if (!m_bBlocking) {
        m_socket->flush();
        return true;
    }
    const QDeadlineTimer deadline(kWriteTimeoutMs);
    while (m_socket->bytesToWrite() > 0) {
        if (!WaitSliced(deadline, [this](int ms) { return m_socket->waitForBytesWritten(ms); }))
            return false;
    }
    return true;
}

CNoteSocket::Receive CNoteSocket::ReceiveMsg(CMsg& msg, int timeoutMs) {
    if (!m_socket)
        return Receive::Closed;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        switch (m_decoder.Next(msg)) {
            case MsgDecoder::Result::Record:
                return Receive::Record;
            case MsgDecoder::Result::Error:
                return Receive::Error;
            case MsgDecoder::Result::NeedMore:
                break;
        }
        if (m_socket->bytesAvailable() > 0) {
            m_decoder.Feed(m_socket->readAll());
            continue;
        }
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return m_decoder.HasPartialRecord() ? Receive::Error : Receive::Closed;
        if (deadline.hasExpired() || Cancelled())
            return Receive::TimedOut;
        if (!WaitSliced(deadline, [this](int ms) { return m_socket->waitForReadyRead(ms); }) &&
            m_socket->bytesAvailable() == 0) {
            if (m_socket->state() != QAbstractSocket::ConnectedState)
                return m_decoder.HasPartialRecord() ? Receive::Error : Receive::Closed;
            return Receive::TimedOut;
        }
    }
}

void CNoteSocket::Hold() {
    if (m_bHeld || m_bFinished || !m_socket)
        return;
    m_bHeld = true;
    m_socket->setReadBufferSize(kHeldBufferBytes);
    if (m_partialTimer)
        m_partialTimer->stop();
}

void CNoteSocket::Resume() {
    if (!m_bHeld)
        return;
    m_bHeld = false;
    m_socket->setReadBufferSize(0);
    if (m_bFinalHeld) {
        Finish();
        return;
    }
    OnReadyRead();
    if (m_bPeerClosedWhileHeld && !m_bHeld)
        Finish();
}

void CNoteSocket::OnReadyRead() {
    if (m_bFinished || m_bHeld || !m_socket)
        return;
    // A socket closed by its peer has nothing left to read (and would warn on reading).
    if (m_socket->isOpen())
        m_decoder.Feed(m_socket->readAll());
    CMsg msg;
    for (;;) {
        const MsgDecoder::Result result = m_decoder.Next(msg);
        if (result == MsgDecoder::Result::NeedMore)
            break;
        if (result == MsgDecoder::Result::Error) {
            // The damaged record is not acted upon, and nothing after it is read.
            Q_EMIT readError();
            Finish();
            return;
        }
        Q_EMIT recordReceived(msg);
        if (m_bFinished)
            return;  // a handler closed the connection
        if (m_bHeld) {
            m_bFinalHeld = msg.m_bFinal;  // the connection ends once it is resumed
            return;
        }
        if (msg.m_bFinal) {
            Finish();
            return;
        }
    }
    m_partialTimer->start();
}

void CNoteSocket::OnPartialTimeout() {
    if (m_bFinished)
        return;
    // A record left half-sent is a read error; a connection that merely went quiet just ends.
    if (m_decoder.HasPartialRecord())
        Q_EMIT readError();
    Finish();
}

void CNoteSocket::Finish() {
    if (m_bFinished)
        return;
    m_bFinished = true;
    if (m_partialTimer)
        m_partialTimer->stop();
    if (m_socket) {
        m_socket->disconnect(this);
        // Whatever was written last (a check's answer) still goes out before the connection ends.
        m_socket->disconnectFromHost();
    }
    Q_EMIT closed();
}

void CNoteSocket::Close() {
    if (!m_socket)
        return;
    if (m_bBlocking) {
        m_socket->disconnectFromHost();
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            WaitSliced(QDeadlineTimer(kCloseTimeoutMs),
                       [this](int ms) { return m_socket->waitForDisconnected(ms); });
        m_socket->abort();
        return;
    }
    Finish();
}

void CNoteSocket::SetPartialRecordTimeout(int ms) {
    if (m_partialTimer)
        m_partialTimer->setInterval(ms);
}

bool CNoteSocket::IsOpen() const {
    return m_socket && !m_bFinished && m_socket->state() == QAbstractSocket::ConnectedState;
}

QString CNoteSocket::LocalAddress() const {
    return m_socket ? DottedAddress(m_socket->localAddress()) : QString();
}

QString CNoteSocket::PeerAddress() const {
    return m_socket ? DottedAddress(m_socket->peerAddress()) : QString();
}
