#include "net/CNoteSocket.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace {

QString DottedAddress(const QHostAddress& address) {
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4).toString() : address.toString();
}

}  // namespace

namespace {
constexpr int kWaitSliceMs = 100;
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

bool CNoteSocket::ConnectTo(QString* error, const QString& address, qint64 port,
                            int timeoutSeconds) {
    auto fail = [error](const char* text) {
        if (error)
            *error = QString::fromLatin1(text);
        return false;
    };
    m_bBlocking = true;
    delete m_socket;
    m_socket = new QTcpSocket(this);
    if (port < 1 || port > 65535)
        return fail("Error connecting to remote machine");
    const int seconds = timeoutSeconds > 0 ? timeoutSeconds : kDefaultConnectTimeoutSeconds;
    m_socket->connectToHost(address, static_cast<quint16>(port));
    // One wait for the whole time: a connect given up after a part of it would not be taken
    // up again (the system's own retries of a connect take a second or more).
    if (m_socket->waitForConnected(seconds * 1000))
        return true;
    const bool noSocket = m_socket->error() == QAbstractSocket::SocketResourceError;
    m_socket->abort();
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
        if (deadline.hasExpired() ||
            !m_socket->waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
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

void CNoteSocket::OnReadyRead() {
    if (m_bFinished || !m_socket)
        return;
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
            m_socket->waitForDisconnected(1000);
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
