#pragma once

#include <netinet/in.h>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <array>
#include <functional>

// The part of RFC 959 that fetching address books needs: log in, change directory, and fetch a
// listing or a file over an active-mode data connection. Every call blocks until the server
// has answered; a connection that stays silent for the silence timeout ends the call.
class CFtpClient {
public:
    enum Flags : unsigned {
        kAscii = 0x1,    // "TYPE A" instead of "TYPE I"
        kCommand = 0x4,  // the remote name is a whole command, not a name for RETR
    };
    static constexpr int kSilenceTimeoutMs = 60000;
    static constexpr int kReplyTimeoutMs = 120000;
    static constexpr qint64 kTransferLimit = 64 * 1024 * 1024;  // books and listings are small

    // Progress texts go to progress (the main window's first status pane); none when empty.
    explicit CFtpClient(std::function<void(const QString&)> progress = {});
    virtual ~CFtpClient();  // runs Quit first while the control connection is open
    CFtpClient(const CFtpClient&) = delete;
    CFtpClient& operator=(const CFtpClient&) = delete;

    // "Windows sockets initialization failed." when it cannot be done (while an operation of
    // this client runs, whose sockets it would take away).
    bool Initialize();
    // host: a name or dotted IPv4 address, optionally followed by ":port" (1..65535) to use
    // instead of the "ftp" service port. A host that cannot be reached gives false with the
    // error text unchanged; a refused login gives "user@host:FTP Logon Failure: reply".
    bool Connect(const QString& host, const QString& user, const QString& password,
                 const QString& account);
    bool ChangeDirectory(const QString& directory);
    // Writes exactly the bytes received to localPath (created or truncated only once the
    // server has opened the data connection). A local file that cannot be created fails the
    // transfer, after the server's final reply has been read.
    bool Retrieve(const QString& localPath, const QString& remoteName, unsigned flags);
    bool List(const QString& localPath);  // Retrieve(localPath, "LIST", kAscii | kCommand)
    bool Quit();

    QString ErrorText() const { return m_strError; }
    QString LastReply() const { return m_strLastReply; }
    int LastCode() const { return m_nLastCode; }

    // Any wait gives up within a tenth of a second once this says so (the program is ending).
    void SetCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    // How long a connection may stay silent; tests shorten it.
    void SetSilenceTimeout(int ms) { m_nSilenceTimeoutMs = ms; }
    // How long one reply may take in all, with its continuation lines and, for the greeting,
    // the preliminary 1xx replies before it: a server that keeps sending lines, or a byte now
    // and then, is given up all the same.
    void SetReplyTimeout(int ms) { m_nReplyTimeoutMs = ms; }
    // How long the client may take from now on, whatever it does: once the time has run out,
    // every wait ends and the connection is given up.
    void SetRunTimeout(int ms);
    // The most one transfer may bring; more ends it as a failure.
    void SetTransferLimit(qint64 bytes) { m_nTransferLimit = bytes; }
    // False once the control connection is closed: by Quit, or after a failure that left it
    // out of step with the server. Every later call then fails at once.
    bool IsConnected() const { return m_hControl >= 0; }

private:
    // A reply line of at most 4095 bytes with its line end, or one piece of received data.
    static constexpr int kBufferSize = 4096;

    enum class Wait { Ready, Silent, ReplyTooLong, RunOut, Cancelled, Failed };
    // Waits until socket is ready for events, at most until the first of silence, reply and
    // the run's own time limit.
    Wait WaitFor(int socket, short events, const QDeadlineTimer& silence,
                 const QDeadlineTimer& reply = QDeadlineTimer(QDeadlineTimer::Forever)) const;
    // What ended a wait that did not fail: silent, with the seconds, for silence.
    QString WaitText(Wait wait, const QString& silent) const;
    // Waits until the control connection is ready for events; a wait that ends otherwise
    // gives the connection up (failing, with the reason, for an error).
    bool WaitForControl(short events, const QDeadlineTimer& silence, const QDeadlineTimer& reply,
                        const QString& silent, const QString& failing);
    bool OpenControlConnection(const QString& host);
    // The server's address for name, within the silence timeout; false with the reason.
    bool ResolveServer(const QString& name, QString* reason);
    // Connects the control connection to the server's address; false with the reason.
    bool ConnectControl(QString* reason);
    // One reply line, within the silence timeout and by reply at the latest.
    int ReadReply(const QDeadlineTimer& reply);
    int SendCommand(const QByteArray& command);
    bool SetUpDataConnection();
    bool AcceptDataConnection();
    bool ReceiveData(const QString& localPath);
    // The control connection can no longer be trusted to be in step with the server.
    void ControlFailed(const QString& error);
    void Progress(const QString& text) const;
    QString SilenceSeconds() const;
    static void Close(int& socket);
    void CloseAll();

    sockaddr_in m_serverAddress{};
    int m_hControl = -1;
    int m_hListen = -1;
    int m_hData = -1;
    std::array<char, kBufferSize> m_buffer{};
    QString m_strLastReply;
    qint32 m_nLastCode = 0;
    bool m_bBusy = false;
    std::function<void(const QString&)> m_progress;
    QString m_strError;
    sockaddr_in m_localAddress{};  // of the control connection, named in PORT
    QByteArray m_lastLine;         // the last reply line as received, for the multi-line rule
    std::function<bool()> m_cancelled;
    int m_nSilenceTimeoutMs = kSilenceTimeoutMs;
    int m_nReplyTimeoutMs = kReplyTimeoutMs;
    int m_nRunTimeoutMs = -1;
    QDeadlineTimer m_runDeadline{QDeadlineTimer::Forever};
    qint64 m_nTransferLimit = kTransferLimit;
};

// The command that names the data port: "PORT 192,168,1,20,16,1" for 192.168.1.20 and 4097.
QByteArray PortCommand(quint32 ipv4Address, quint16 port);
