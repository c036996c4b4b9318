#include "net/CListeningSocket.h"

#include <unistd.h>

#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Hands each accepted connection's descriptor on instead of making a socket on this thread.
class DescriptorServer : public QTcpServer {
public:
    explicit DescriptorServer(std::function<void(qintptr)> take) : m_take(std::move(take)) {}

protected:
    void incomingConnection(qintptr descriptor) override { m_take(descriptor); }

private:
    std::function<void(qintptr)> m_take;
};

}  // namespace

CListeningSocket::CListeningSocket(QObject* parent) : QObject(parent) {
    m_thread.setObjectName(QStringLiteral("QuillpadAccept"));
    m_server = new DescriptorServer([this](qintptr descriptor) { QueueAccepted(descriptor); });
    m_server->setListenBacklogSize(kBacklog);
    m_server->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_server, &QObject::deleteLater);
    m_thread.start();
}

CListeningSocket::~CListeningSocket() {
    m_thread.quit();
    m_thread.wait();
    QMutexLocker lock(&m_mutex);
    for (const qintptr descriptor : std::as_const(m_waiting))
        ::close(static_cast<int>(descriptor));
}

bool CListeningSocket::StartListening(qint64 port, QString* error) {
    const QString createText =
        QStringLiteral("Error: Can't create socket to listen at port %1").arg(port);
    if (port < 1 || port > 65535) {
        if (error)
            *error = createText;
        return false;
    }
    bool listening = false;
    QAbstractSocket::SocketError failure = QAbstractSocket::UnknownSocketError;
    QMetaObject::invokeMethod(
        m_server,
        [this, port, &listening, &failure] {
            listening = m_server->listen(QHostAddress::Any, static_cast<quint16>(port));
            failure = m_server->serverError();
        },
        Qt::BlockingQueuedConnection);
    if (listening) {
        m_nPort = static_cast<quint16>(port);
        return true;
    }
    // Binding the port is the creation of the socket; what fails after it is the listen.
    switch (failure) {
        case QAbstractSocket::AddressInUseError:
        case QAbstractSocket::SocketAccessError:
        case QAbstractSocket::SocketAddressNotAvailableError:
        case QAbstractSocket::SocketResourceError:
        case QAbstractSocket::UnsupportedSocketOperationError:
            if (error)
                *error = createText;
            break;
        default:
            if (error)
                *error = QStringLiteral("Error: Can't listen at port %1").arg(port);
            break;
    }
    return false;
}

void CListeningSocket::QueueAccepted(qintptr descriptor) {
    bool first = false;
    bool pause = false;
    {
        QMutexLocker lock(&m_mutex);
        // Taking stops at kMaxWaiting, but what the system had queued already may still come in
        // while it stops; only past that bound is a connection closed.
        if (m_waiting.size() >= kMaxWaiting + 2 * kBacklog) {
            ::close(static_cast<int>(descriptor));
            return;
        }
        first = m_waiting.isEmpty();
        m_waiting.enqueue(descriptor);
        if (m_waiting.size() >= kMaxWaiting && !m_bPaused) {
            m_bPaused = true;
            pause = true;
        }
    }
    if (pause)
        QMetaObject::invokeMethod(m_server, &QTcpServer::pauseAccepting);
    if (first)
        QMetaObject::invokeMethod(this, &CListeningSocket::newConnection, Qt::QueuedConnection);
}

QTcpSocket* CListeningSocket::NextPendingConnection() {
    // A connection that cannot be taken over is closed, and the next one is taken in its
    // place: null means that none is waiting.
    for (;;) {
        qintptr descriptor = -1;
        {
            QMutexLocker lock(&m_mutex);
            if (m_waiting.isEmpty())
                return nullptr;
            descriptor = m_waiting.dequeue();
            if (m_bPaused && m_waiting.size() <= kMaxWaiting / 2) {
                m_bPaused = false;
                QMetaObject::invokeMethod(m_server, &QTcpServer::resumeAccepting,
                                          Qt::QueuedConnection);
            }
        }
        auto* socket = new QTcpSocket;
        if (socket->setSocketDescriptor(descriptor))
            return socket;
        ::close(static_cast<int>(descriptor));
        delete socket;
    }
}
