#include "platform/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QTimer>

Q_LOGGING_CATEGORY(lcInstance, "quillpad.instance", QtWarningMsg)

namespace {

constexpr QByteArrayView kRequest = "come-forward\n";
constexpr QByteArrayView kAnswer = "ok\n";
constexpr int kConnectionLifetimeMs = 2000;

}  // namespace

SingleInstance::SingleInstance(const QString& configDirectory, QObject* parent)
    : QObject(parent),
      m_lock(QDir(configDirectory).absoluteFilePath(QStringLiteral("instance.lock"))) {
    QDir().mkpath(configDirectory);
    // Socket names live in one temporary directory for everybody: the user and the
    // configuration directory go into the name.
    const QByteArray dir = QDir(configDirectory).absolutePath().toUtf8();
    const QByteArray hash =
        QCryptographicHash::hash(dir, QCryptographicHash::Sha1).toHex().left(16);
    m_serverName = QStringLiteral("quillpad-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::Claim() {
    switch (m_lock.TryLock(0)) {
        case FileLock::Result::Locked:
            StartServer();
            return Role::Primary;
        case FileLock::Result::Busy:
            return Role::Secondary;
        case FileLock::Result::Failed:
            break;
    }
    return Role::Alone;
}

void SingleInstance::StartServer() {
    // We hold the lock, so a socket left under our name belongs to a copy that died.
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_serverName)) {
        qCWarning(lcInstance) << "cannot listen for later starts:" << m_server->errorString();
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A caller that never sends its request is dropped after a while.
        QTimer::singleShot(kConnectionLifetimeMs, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kRequest.size())
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(kRequest.size() + 1);
            if (line != kRequest) {
                socket->abort();
                return;
            }
            qCInfo(lcInstance) << "a later start asked this copy to come forward";
            socket->write(kAnswer.data(), kAnswer.size());
            socket->flush();
            socket->disconnectFromServer();
            Q_EMIT comeForwardRequested();
        });
    }
}

bool SingleInstance::RequestComeForward(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return false;
    socket.write(kRequest.data(), kRequest.size());
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine() && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
    }
    return socket.canReadLine() && socket.readLine(kAnswer.size() + 1) == kAnswer;
}
