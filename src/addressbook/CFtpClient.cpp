#include "addressbook/CFtpClient.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QFile>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>

#include "addressbook/FtpNameLookup.h"
#include "addressbook/FtpParsing.h"

namespace {

constexpr int kWaitSliceMs = 100;
constexpr qsizetype kMaxSendPiece = 512;
constexpr size_t kMaxReceivePiece = 4000;

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

qint64 Remaining(const QDeadlineTimer& deadline) {
    return deadline.isForever() ? std::numeric_limits<qint64>::max() : deadline.remainingTime();
}

// "10 minutes", "1 minute", "1.5 seconds".
QString Duration(int ms) {
    if (ms >= 60000 && ms % 60000 == 0)
        return ms == 60000 ? QStringLiteral("1 minute")
                           : QStringLiteral("%1 minutes").arg(ms / 60000);
    return ms == 1000 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(ms / 1000.0);
}

}  // namespace

CFtpClient::CFtpClient(std::function<void(const QString&)> progress)
    : m_progress(std::move(progress)) {}

CFtpClient::~CFtpClient() {
    if (m_hControl >= 0 && !m_bBusy)
        Quit();
    CloseAll();
}

bool CFtpClient::Initialize() {
    // Sockets need no start-up here; but a reset under a running operation would pull its
    // sockets away.
    if (m_bBusy) {
        m_strError = QStringLiteral("Windows sockets initialization failed.");
        return false;
    }
    CloseAll();
    m_strLastReply.clear();
    m_lastLine.clear();
    return true;
}

bool CFtpClient::Connect(const QString& host, const QString& user, const QString& password,
                         const QString& account) {
    if (m_bBusy)
        return false;
    m_bBusy = true;
    const auto done = qScopeGuard([this] { m_bBusy = false; });

    Progress(QStringLiteral("Connecting to ") + host + QStringLiteral(" ..."));
    if (!OpenControlConnection(host))
        return false;
    // The greeting with any preliminary replies before it counts as one reply.
    const QDeadlineTimer greeting(m_nReplyTimeoutMs);
    int replyClass = 0;
    do {
        replyClass = ReadReply(greeting);
    } while (replyClass == 1 || (replyClass == 2 && FtpReply::IsContinued(m_lastLine)));
    if (m_hControl < 0)
        return false;

    replyClass = SendCommand("USER " + user.toLocal8Bit());
    if (replyClass == 3) {
        replyClass = SendCommand("PASS " + password.toLocal8Bit());
        if (replyClass == 3) {
            Progress(QStringLiteral("Login to ") + host + QStringLiteral(" ..."));
            replyClass = SendCommand("ACCT " + account.toLocal8Bit());
        }
    }
    if (replyClass == 2)
        return true;
    // A connection that broke keeps the text that says how.
    if (m_hControl >= 0)
        m_strError = QStringLiteral("%1@%2:FTP Logon Failure: %3").arg(user, host, m_strLastReply);
    return false;
}

bool CFtpClient::ChangeDirectory(const QString& directory) {
    if (m_bBusy)
        return false;
    m_bBusy = true;
    const auto done = qScopeGuard([this] { m_bBusy = false; });
    return SendCommand("CWD " + directory.toLocal8Bit()) == 2;
}

bool CFtpClient::Retrieve(const QString& localPath, const QString& remoteName, unsigned flags) {
    if (m_bBusy)
        return false;
    m_bBusy = true;
    const auto done = qScopeGuard([this] { m_bBusy = false; });

    SendCommand((flags & kAscii) ? QByteArrayLiteral("TYPE A") : QByteArrayLiteral("TYPE I"));
    // A refused PORT is not final: the reply to the transfer command decides.
    SetUpDataConnection();
    const QByteArray name = remoteName.toLocal8Bit();
    if (SendCommand((flags & kCommand) ? name : "RETR " + name) != 1 || !AcceptDataConnection()) {
        Close(m_hListen);
        return false;
    }
    const bool received = ReceiveData(localPath);
    const QString transferError = m_strError;
    Close(m_hData);
    // Read even after a failed transfer, so that the next command gets its own reply.
    const bool completed = ReadReply(QDeadlineTimer(m_nReplyTimeoutMs)) == 2;
    if (!received) {
        m_strError = transferError;
        return false;
    }
    return completed;
}

bool CFtpClient::List(const QString& localPath) {
    return Retrieve(localPath, QStringLiteral("LIST"), kAscii | kCommand);
}

bool CFtpClient::Quit() {
    if (m_bBusy)
        return false;
    m_bBusy = true;
    const auto done = qScopeGuard([this] { m_bBusy = false; });
    if (m_hControl >= 0)
        SendCommand(QByteArrayLiteral("QUIT"));
    CloseAll();
    return true;
}

CFtpClient::Wait CFtpClient::WaitFor(int socket, short events, const QDeadlineTimer& silence,
                                     const QDeadlineTimer& reply) const {
    for (;;) {
        if (m_cancelled && m_cancelled())
            return Wait::Cancelled;
        if (m_runDeadline.hasExpired())
            return Wait::RunOut;
        if (reply.hasExpired())
            return Wait::ReplyTooLong;
        if (silence.hasExpired())
            return Wait::Silent;
        const qint64 remaining = std::min({silence.remainingTime(), Remaining(reply),
                                           Remaining(m_runDeadline), qint64(kWaitSliceMs)});
        pollfd entry{socket, events, 0};
        const int count = ::poll(&entry, 1, static_cast<int>(std::max<qint64>(remaining, 1)));
        // An error or hang-up counts as ready: the call that follows reports it.
        if (count > 0)
            return Wait::Ready;
        if (count < 0 && errno != EINTR)
            return Wait::Failed;
    }
}

bool CFtpClient::WaitForControl(short events, const QDeadlineTimer& silence,
                                const QDeadlineTimer& reply, const QString& silent,
                                const QString& failing) {
    const Wait wait = WaitFor(m_hControl, events, silence, reply);
    if (wait == Wait::Ready)
        return true;
    ControlFailed(wait == Wait::Failed ? failing.arg(qt_error_string(errno))
                                       : QStringLiteral("FTP Error: ") + WaitText(wait, silent));
    return false;
}

QString CFtpClient::WaitText(Wait wait, const QString& silent) const {
    switch (wait) {
        case Wait::Silent:
            return silent.arg(SilenceSeconds());
        case Wait::ReplyTooLong:
            return QStringLiteral("the server's reply took longer than %1")
                .arg(Duration(m_nReplyTimeoutMs));
        case Wait::RunOut:
            return QStringLiteral("the retrieval took longer than %1")
                .arg(Duration(m_nRunTimeoutMs));
        case Wait::Cancelled:
            return QStringLiteral("cancelled");
        case Wait::Ready:
        case Wait::Failed:
            break;
    }
    return QString();
}

bool CFtpClient::OpenControlConnection(const QString& host) {
    CloseAll();
    QString name;
    quint16 port = 0;
    FtpNameLookup::SplitHost(host, &name, &port);
    if (port == 0)
        port = FtpNameLookup::ServicePort();
    // A failed connection says why: a box or log line without a reason helps nobody.
    QString reason;
    if (name.isEmpty())
        reason = QStringLiteral("no server is given");
    else if (ResolveServer(name, &reason))
        m_serverAddress.sin_port = htons(port);
    if (reason.isEmpty() && ConnectControl(&reason))
        return true;
    m_strError = QStringLiteral("FTP Error: can not connect to %1: %2").arg(host, reason);
    Close(m_hControl);
    return false;
}

bool CFtpClient::ResolveServer(const QString& name, QString* reason) {
    // A dotted address needs no name server; a name is looked up where the wait for it can be
    // cancelled and bounded.
    const QByteArray encoded = name.toLocal8Bit();
    FtpNameLookup::Lookup numeric;
    FtpNameLookup::Resolve(encoded, AI_NUMERICHOST, numeric);
    if (numeric.result == 0) {
        m_serverAddress = numeric.address;
        return true;
    }
    const std::shared_ptr<FtpNameLookup::Lookup> lookup = FtpNameLookup::Start(encoded);
    if (!lookup) {
        *reason = QStringLiteral("the server's name can not be looked up");
        return false;
    }
    const QDeadlineTimer silence(m_nSilenceTimeoutMs);
    std::unique_lock lock(lookup->mutex);
    while (!lookup->finished) {
        Wait wait = Wait::Ready;
        if (m_cancelled && m_cancelled())
            wait = Wait::Cancelled;
        else if (m_runDeadline.hasExpired())
            wait = Wait::RunOut;
        else if (silence.hasExpired())
            wait = Wait::Silent;
        if (wait != Wait::Ready) {
            *reason =
                WaitText(wait, QStringLiteral("the server's name was not found in %1 seconds"));
            return false;
        }
        lookup->done.wait_for(lock, std::chrono::milliseconds(kWaitSliceMs));
    }
    if (lookup->result != 0) {
        *reason = QStringLiteral("the server's name is unknown (%1)")
                      .arg(QString::fromLocal8Bit(::gai_strerror(lookup->result)));
        return false;
    }
    m_serverAddress = lookup->address;
    return true;
}

bool CFtpClient::ConnectControl(QString* reason) {
    m_hControl = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_hControl < 0) {
        *reason = qt_error_string(errno);
        return false;
    }
    const auto* server = reinterpret_cast<const sockaddr*>(&m_serverAddress);
    if (::connect(m_hControl, server, sizeof m_serverAddress) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            *reason = qt_error_string(errno);
            return false;
        }
        const Wait wait = WaitFor(m_hControl, POLLOUT, QDeadlineTimer(m_nSilenceTimeoutMs));
        if (wait != Wait::Ready) {
            *reason = wait == Wait::Failed
                          ? qt_error_string(errno)
                          : WaitText(wait, QStringLiteral("no answer in %1 seconds"));
            return false;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_hControl, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            *reason = qt_error_string(errno);
            return false;
        }
        if (error != 0) {
            *reason = qt_error_string(error);
            return false;
        }
    }
    socklen_t length = sizeof m_localAddress;
    if (::getsockname(m_hControl, reinterpret_cast<sockaddr*>(&m_localAddress), &length) != 0) {
        *reason = qt_error_string(errno);
        return false;
    }
    return true;
}

int CFtpClient::ReadReply(const QDeadlineTimer& reply) {
    m_buffer.fill(0);
    if (m_hControl < 0)
        return 0;
    static_assert(FtpReply::kMaxLineBytes < kBufferSize, "a whole reply line fits the buffer");
    const int limit = static_cast<int>(FtpReply::kMaxLineBytes);
    int length = 0;
    QDeadlineTimer deadline(m_nSilenceTimeoutMs);
    for (;;) {
        if (!WaitForControl(POLLIN, deadline, reply,
                            QStringLiteral("the server sent no reply for %1 seconds"),
                            QStringLiteral("FTP Error: receiving a reply failed: %1")))
            return 0;
        char* const next = m_buffer.data() + length;
        // Looks before it takes, so that the next reply line stays queued.
        const ssize_t peeked = ::recv(m_hControl, next, limit - length, MSG_PEEK);
        if (peeked < 0 && WouldBlock(errno))
            continue;
        if (peeked < 0) {
            ControlFailed(QStringLiteral("FTP Error: receiving a reply failed: %1")
                              .arg(qt_error_string(errno)));
            return 0;
        }
        if (peeked == 0) {
            ControlFailed(length > 0
                              ? QStringLiteral("FTP Error: the server closed the connection "
                                               "in the middle of a reply line")
                              : QStringLiteral("FTP Error: the server closed the connection"));
            return 0;
        }
        const auto* lineFeed = static_cast<const char*>(std::memchr(next, '\n', peeked));
        const ssize_t wanted = lineFeed ? lineFeed - next + 1 : peeked;
        const ssize_t taken = ::recv(m_hControl, next, wanted, 0);
        if (taken != wanted) {
            ControlFailed(QStringLiteral("FTP Error: receiving a reply failed: %1")
                              .arg(qt_error_string(errno)));
            return 0;
        }
        length += static_cast<int>(taken);
        if (lineFeed)
            break;
        if (length >= limit) {
            ControlFailed(
                QStringLiteral("FTP Error: a reply line is longer than %1 bytes").arg(limit));
            return 0;
        }
        deadline = QDeadlineTimer(m_nSilenceTimeoutMs);
    }

    m_lastLine = FtpReply::Trimmed(QByteArrayView(m_buffer.data(), length));
    m_strLastReply = QString::fromLocal8Bit(m_lastLine);
    Progress(m_strLastReply);
    m_nLastCode = FtpReply::Code(m_lastLine);
    if (m_nLastCode >= 400)
        m_strError = QStringLiteral("FTP Error: ") + m_strLastReply;
    return m_nLastCode / 100;
}

int CFtpClient::SendCommand(const QByteArray& command) {
    if (m_hControl < 0)
        return 0;
    // A line end inside would make two commands of one, and the replies would no longer match.
    if (command.contains('\r') || command.contains('\n')) {
        m_strError = QStringLiteral("FTP Error: a command may not hold a line end");
        return 0;
    }
    const QByteArray line = command + "\r\n";
    qsizetype sent = 0;
    const QDeadlineTimer reply(m_nReplyTimeoutMs);
    QDeadlineTimer deadline(m_nSilenceTimeoutMs);
    while (sent < line.size()) {
        if (!WaitForControl(POLLOUT, deadline, reply,
                            QStringLiteral("the server took no command for %1 seconds"),
                            QStringLiteral("FTP Error: sending a command failed: %1")))
            return 0;
        const qsizetype piece = std::min(line.size() - sent, kMaxSendPiece);
        const ssize_t count =
            ::send(m_hControl, line.constData() + sent, static_cast<size_t>(piece), MSG_NOSIGNAL);
        if (count < 0 && WouldBlock(errno))
            continue;
        if (count <= 0) {
            ControlFailed(QStringLiteral("FTP Error: sending a command failed: %1")
                              .arg(qt_error_string(errno)));
            return 0;
        }
        sent += count;
        deadline = QDeadlineTimer(m_nSilenceTimeoutMs);
    }

    int replyClass = 0;
    do {
        replyClass = ReadReply(reply);
    } while (m_hControl >= 0 && FtpReply::IsContinued(m_lastLine));
    return replyClass;
}

bool CFtpClient::SetUpDataConnection() {
    Close(m_hListen);
    m_hListen = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_hListen < 0)
        return false;
    sockaddr_in address = m_localAddress;
    address.sin_port = 0;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    socklen_t length = sizeof address;
    if (::bind(m_hListen, raw, sizeof address) != 0 ||
        ::getsockname(m_hListen, raw, &length) != 0 || ::listen(m_hListen, 1) != 0) {
        Close(m_hListen);
        return false;
    }
    return SendCommand(
               PortCommand(ntohl(m_localAddress.sin_addr.s_addr), ntohs(address.sin_port))) == 2;
}

bool CFtpClient::AcceptDataConnection() {
    if (m_hListen < 0)
        return false;
    const QDeadlineTimer deadline(m_nSilenceTimeoutMs);
    while (m_hData < 0) {
        const Wait wait = WaitFor(m_hListen, POLLIN, deadline);
        // The server's reply to the transfer command may still come; the next command would
        // take it for its own, so the control connection is given up.
        if (wait != Wait::Ready && wait != Wait::Failed) {
            ControlFailed(
                QStringLiteral("FTP Error: ") +
                WaitText(wait,
                         QStringLiteral("the server opened no data connection for %1 seconds")));
            break;
        }
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (wait == Wait::Ready)
            m_hData = ::accept4(m_hListen, reinterpret_cast<sockaddr*>(&peer), &length,
                                SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (m_hData < 0 &&
            (wait == Wait::Failed || !(WouldBlock(errno) || errno == ECONNABORTED))) {
            ControlFailed(QStringLiteral("FTP Error: accepting the data connection failed: %1")
                              .arg(qt_error_string(errno)));
            break;
        }
        // Anyone who can reach the data port could connect first and hand over a file of
        // their own; only the server's address may deliver.
        if (m_hData >= 0 && peer.sin_addr.s_addr != m_serverAddress.sin_addr.s_addr)
            Close(m_hData);
    }
    Close(m_hListen);
    return m_hData >= 0;
}

bool CFtpClient::ReceiveData(const QString& localPath) {
    QFile file(localPath);
    // Nothing written is no copy, whatever the server says: a caller would otherwise put an
    // empty file in place of a book.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_strError =
            QStringLiteral("FTP Error: can not write %1: %2").arg(localPath, file.errorString());
        return false;
    }
    QDeadlineTimer deadline(m_nSilenceTimeoutMs);
    qint64 received = 0;
    for (;;) {
        const Wait wait = WaitFor(m_hData, POLLIN, deadline);
        if (wait == Wait::Failed) {
            m_strError =
                QStringLiteral("FTP Error: receiving data failed: %1").arg(qt_error_string(errno));
            return false;
        }
        if (wait != Wait::Ready) {
            m_strError =
                QStringLiteral("FTP Error: ") +
                WaitText(wait, QStringLiteral("the data connection was silent for %1 seconds"));
            return false;
        }
        const ssize_t count = ::recv(m_hData, m_buffer.data(), kMaxReceivePiece, 0);
        if (count == 0)
            break;
        if (count < 0 && WouldBlock(errno))
            continue;
        if (count < 0) {
            m_strError =
                QStringLiteral("FTP Error: receiving data failed: %1").arg(qt_error_string(errno));
            return false;
        }
        received += count;
        if (received > m_nTransferLimit) {
            m_strError = QStringLiteral("FTP Error: the transfer is larger than %1 bytes")
                             .arg(m_nTransferLimit);
            return false;
        }
        if (file.write(m_buffer.data(), count) != count) {
            m_strError = QStringLiteral("FTP Error: writing %1 failed: %2")
                             .arg(localPath, file.errorString());
            return false;
        }
        deadline = QDeadlineTimer(m_nSilenceTimeoutMs);
    }
    if (!file.flush()) {
        m_strError =
            QStringLiteral("FTP Error: writing %1 failed: %2").arg(localPath, file.errorString());
        return false;
    }
    return true;
}

void CFtpClient::ControlFailed(const QString& error) {
    m_strError = error;
    m_strLastReply.clear();
    m_lastLine.clear();
    m_nLastCode = 0;
    Close(m_hControl);
}

void CFtpClient::Progress(const QString& text) const {
    if (m_progress)
        m_progress(text);
}

QString CFtpClient::SilenceSeconds() const {
    return QString::number(m_nSilenceTimeoutMs / 1000.0);
}

void CFtpClient::SetRunTimeout(int ms) {
    m_nRunTimeoutMs = ms;
    m_runDeadline = QDeadlineTimer(ms);
}

void CFtpClient::Close(int& socket) {
    if (socket >= 0)
        ::close(socket);
    socket = -1;
}

void CFtpClient::CloseAll() {
    Close(m_hControl);
    Close(m_hListen);
    Close(m_hData);
}

QByteArray PortCommand(quint32 ipv4Address, quint16 port) {
    const quint32 numbers[] = {
        ipv4Address >> 24,  (ipv4Address >> 16) & 0xFF,      (ipv4Address >> 8) & 0xFF,
        ipv4Address & 0xFF, static_cast<quint32>(port >> 8), static_cast<quint32>(port & 0xFF)};
    QByteArrayList parts;
    for (const quint32 number : numbers)
        parts.append(QByteArray::number(number));
    return "PORT " + parts.join(',');
}
