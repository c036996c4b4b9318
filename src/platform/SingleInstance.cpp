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

// A request is "come-forward", or "open" followed by one line per file and an empty line.
constexpr QByteArrayView kRequest = "come-forward\n";
constexpr QByteArrayView kOpenRequest = "open\n";
constexpr QByteArrayView kAnswer = "ok\n";
constexpr int kConnectionLifetimeMs = 2000;
// The longest request taken: kMaxFiles paths of PATH_MAX bytes and their line ends.
constexpr qint64 kMaxRequestBytes = 16 * 4097 + 16;

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
        // A caller that never sends its whole request is dropped after a while.
        QTimer::singleShot(kConnectionLifetimeMs, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequest(*socket); });
    }
}

void SingleInstance::ReadRequest(QLocalSocket& socket) {
    if (socket.bytesAvailable() > kMaxRequestBytes) {
        socket.abort();
        return;
    }
    // The request is taken whole once it has all arrived, and only then.
    const QByteArray request = socket.peek(kMaxRequestBytes);
    QStringList files;
    if (request.startsWith(kOpenRequest)) {
        const qsizetype end = request.indexOf("\n\n", kOpenRequest.size() - 1);
        if (end < 0)
            return;  // the rest is still on its way
        const QList<QByteArray> lines =
            request.mid(kOpenRequest.size(), end - kOpenRequest.size() + 1).split('\n');
        for (const QByteArray& line : lines) {
            if (!line.isEmpty() && files.size() < kMaxFiles)
                files.append(QString::fromUtf8(line));
        }
    } else if (!request.startsWith(kRequest)) {
        if (request.size() >= kRequest.size() || request.contains('\n'))
            socket.abort();
        return;
    }
    socket.readAll();
    qCInfo(lcInstance) << "a later start asked this copy to come forward";
    socket.write(kAnswer.data(), kAnswer.size());
    socket.flush();
    socket.disconnectFromServer();
    if (!files.isEmpty())
        Q_EMIT openRequested(files);
    Q_EMIT comeForwardRequested();
}

bool SingleInstance::RequestComeForward(int timeoutMs, const QStringList& files) {
    QByteArray request = kRequest.toByteArray();
    if (!files.isEmpty()) {
        request = kOpenRequest.toByteArray();
        for (const QString& file : files.mid(0, kMaxFiles)) {
            // A path with a line end in it cannot be told apart from the next one.
            if (!file.contains(QLatin1Char('\n')))
                request += file.toUtf8() + '\n';
        }
        request += '\n';
    }
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
        return false;
    socket.write(request);
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine() && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
    }
    return socket.canReadLine() && socket.readLine(kAnswer.size() + 1) == kAnswer;
}
