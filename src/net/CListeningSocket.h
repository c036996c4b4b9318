#pragma once

#include <QTcpServer>

// The socket on which a running copy waits for notes and checks: every local address, the
// "Port" setting, a backlog of five.
class CListeningSocket : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int kBacklog = 5;

    explicit CListeningSocket(QObject* parent = nullptr);

    // False with "Error: Can't create socket to listen at port %d" (the port cannot be had,
    // or lies outside 1..65535) or "Error: Can't listen at port %d".
    bool StartListening(qint64 port, QString* error);
};
