#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "net/CMsg.h"

class QDeadlineTimer;
class QHostAddress;
class QTcpSocket;
class QTimer;

// One connection that carries note records: either opened by a send or check run on its own
// thread, where every call blocks within a time limit, or accepted by the program's listening
// socket on the user-interface thread, where the records arrive as signals.
class CNoteSocket : public QObject {
    Q_OBJECT
public:
    // A connection that gets no further byte for this long ends: as a read error when a
    // record has begun to arrive, quietly otherwise.
    static constexpr int kPartialRecordTimeoutMs = 60000;
    // Writing one record may take this long at most.
    static constexpr int kWriteTimeoutMs = 30000;
    // "Socket Timeout" of 0: the connect is given the default time instead of none at all.
    static constexpr int kDefaultConnectTimeoutSeconds = 5;
    // The connecting side waits this long at most for the peer to close after the last record.
    static constexpr int kCloseTimeoutMs = 1000;

    explicit CNoteSocket(QObject* parent = nullptr);
    ~CNoteSocket() override;

    // Connecting side: connects within timeoutSeconds, looking a name up first. False with
    // "Error creating communication socket" or "Error connecting to remote machine"; a port
    // outside 1..65535 is a connect failure, never another port.
    bool ConnectTo(QString* error, const QString& address, qint64 port, int timeoutSeconds);
    // Accepting side: takes over an accepted connection (and becomes its owner).
    void Attach(QTcpSocket* socket);
    // The stream and its buffers are ready once connected; kept for the order of the steps.
    void OpenStreams() {}

    // Writes one record and sends it at once. False on a transport error.
    bool SendMsg(const CMsg& msg);

    enum class Receive { Record, Closed, Error, TimedOut };
    // Connecting side: waits at most timeoutMs for one whole record.
    Receive ReceiveMsg(CMsg& msg, int timeoutMs);

    void Close();
    bool IsOpen() const;
    // Accepting side: the connection has ended and said so (closed). A held connection whose
    // peer has closed has not ended yet: its records are still to be read.
    bool HasEnded() const { return m_bFinished; }
    // Accepting side: no record is read or signalled, and the end of the connection is not
    // acted on, until Resume; what arrives meanwhile waits (at most kHeldBufferBytes of it in
    // this process, the rest in the system). Called from a recordReceived handler, it stops
    // the records after that one.
    void Hold();
    void Resume();
    bool IsHeld() const { return m_bHeld; }
    static constexpr qint64 kHeldBufferBytes = 64 * 1024;
    // For tests, which cannot wait a minute for a stalled record.
    void SetPartialRecordTimeout(int ms);
    // Connecting side: every wait (the look-up, the connect, a write, the answer, the close)
    // gives up within a tenth of a second once this says so (the program is ending).
    void SetCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    // The address by which this machine reached the peer, as dotted text.
    QString LocalAddress() const;
    QString PeerAddress() const;

Q_SIGNALS:
    // Accepting side: a whole record has arrived. When it was final, the connection closes
    // after the handlers have run.
    void recordReceived(const CMsg& msg);
    // "Error reading socket": a damaged or stalled record; the connection is closed.
    void readError();
    // The connection has ended (the peer closed, a final record was handled, or a read error).
    void closed();

private:
    enum class Connect { Connected, Failed, NoSocket };
    Connect ConnectToAddress(const QHostAddress& address, quint16 port,
                             const QDeadlineTimer& deadline);
    // Waits in short slices so that a cancel is seen; false on time-out or cancel.
    bool WaitSliced(const QDeadlineTimer& deadline, const std::function<bool(int)>& wait) const;
    bool Cancelled() const { return m_cancelled && m_cancelled(); }
    void OnReadyRead();
    void OnPartialTimeout();
    void Finish();

    QTcpSocket* m_socket = nullptr;
    MsgDecoder m_decoder;
    QTimer* m_partialTimer = nullptr;
    bool m_bBlocking = false;
    std::function<bool()> m_cancelled;
    bool m_bFinished = false;
    bool m_bHeld = false;
    bool m_bPeerClosedWhileHeld = false;
    bool m_bFinalHeld = false;
};
