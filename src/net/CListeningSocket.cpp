#include "net/CListeningSocket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>

CListeningSocket::CListeningSocket(QObject* parent) : QObject(parent) {
    m_thread.setObjectName(QStringLiteral("QuillpadAccept"));
    // The server binds and listens; connections are taken by AcceptWaiting, which can stop
    // between two of them (the server itself takes all that are queued once it begins).
    m_server = new QTcpServer;
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
            if (!listening)
                return;
            m_server->pauseAccepting();
            m_notifier =
                new QSocketNotifier(m_server->socketDescriptor(), QSocketNotifier::Read, m_server);
            connect(m_notifier, &QSocketNotifier::activated, m_server, [this] { AcceptWaiting(); });
            m_retry = new QTimer(m_server);
            m_retry->setSingleShot(true);
            m_retry->setInterval(kRetryMs);
            connect(m_retry, &QTimer::timeout, m_server, [this] { SetTaking(true); });
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

void CListeningSocket::AcceptWaiting() {
    const int listening = static_cast<int>(m_server->socketDescriptor());
    for (;;) {
        {
            QMutexLocker lock(&m_mutex);
            if (m_bPaused)
                return;
        }
        const int descriptor = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
        if (descriptor >= 0) {
            QueueAccepted(descriptor);
            continue;
        }
        switch (errno) {
            case EINTR:
            case ECONNABORTED:
            case EPROTO:
                continue;  // that one connection went; the next may be there
            case EMFILE:
            case ENFILE:
            case ENOBUFS:
            case ENOMEM:
                // No file for another connection now; the waiting ones stay queued meanwhile.
                m_notifier->setEnabled(false);
                m_retry->start();
                return;
            default:
                return;  // nothing more is waiting
        }
    }
}

void CListeningSocket::SetTaking(bool taking) {
    if (!m_notifier)
        return;
    if (!taking) {
        m_notifier->setEnabled(false);
        return;
    }
    QMutexLocker lock(&m_mutex);
    if (!m_bPaused && !m_retry->isActive())
        m_notifier->setEnabled(true);
}

void CListeningSocket::QueueAccepted(qintptr descriptor) {
    bool first = false;
    bool pause = false;
    {
        QMutexLocker lock(&m_mutex);
        first = m_waiting.isEmpty();
        m_waiting.enqueue(descriptor);
        if (m_waiting.size() >= kMaxWaiting && !m_bPaused) {
            m_bPaused = true;
            pause = true;
        }
    }
    if (pause)
        QMetaObject::invokeMethod(m_server, [this] { SetTaking(false); });
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
                QMetaObject::invokeMethod(
                    m_server, [this] { SetTaking(true); }, Qt::QueuedConnection);
            }
        }
        auto* socket = new QTcpSocket;
        if (socket->setSocketDescriptor(descriptor))
            return socket;
        ::close(static_cast<int>(descriptor));
        delete socket;
    }
}
