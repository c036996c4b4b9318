#pragma once

#include <QMutex>
#include <QObject>
#include <QQueue>
#include <QThread>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QTimer;

// The socket on which a running copy waits for notes and checks: every local address, the
// "Port" setting. Connections are taken from the system's queue by a thread of the socket's
// own as soon as they arrive, and the system's queue holds kBacklog (not five): a burst of
// notes must not find it full, since a sender whose connect is dropped waits a second and
// more, and a check among them is answered that much later. The user-interface thread then
// reads each connection. Once kMaxWaiting taken connections wait for it, no more are taken
// until half of them have gone: the rest wait in the system's queue, and what does not fit
// there is refused before a sender could write a note into it. A taken connection is never
// closed unread: its sender has written its note and been told that it went out. When the
// process runs out of files, taking pauses for kRetryMs and then goes on.
class CListeningSocket : public QObject {
    Q_OBJECT
public:
    static constexpr int kBacklog = 1024;
    static constexpr int kMaxWaiting = 256;
    static constexpr int kRetryMs = 100;

    explicit CListeningSocket(QObject* parent = nullptr);
    ~CListeningSocket() override;

    // False with "Error: Can't create socket to listen at port %d" (the port cannot be had,
    // or lies outside 1..65535) or "Error: Can't listen at port %d".
    bool StartListening(qint64 port, QString* error);
    bool IsListening() const { return m_nPort != 0; }
    quint16 Port() const { return m_nPort; }

    // The next waiting connection as a socket of the calling thread, or null when none waits.
    QTcpSocket* NextPendingConnection();
    // Queues the descriptor of an accepted connection (the accepting thread hands in each one;
    // a test may hand in its own).
    void QueueAccepted(qintptr descriptor);

Q_SIGNALS:
    // Connections are waiting (emitted on the thread that owns this object).
    void newConnection();

private:
    // On the accepting thread: takes what the system has queued, until it has no more, taking
    // pauses, or no file is left for a connection.
    void AcceptWaiting();
    void SetTaking(bool taking);

    QThread m_thread;
    QTcpServer* m_server = nullptr;         // binds and listens; lives on m_thread
    QSocketNotifier* m_notifier = nullptr;  // a connection is waiting; lives on m_thread
    QTimer* m_retry = nullptr;              // lives on m_thread
    QMutex m_mutex;
    QQueue<qintptr> m_waiting;
    bool m_bPaused = false;  // no connection is taken until the waiting ones are fewer
    quint16 m_nPort = 0;
};
