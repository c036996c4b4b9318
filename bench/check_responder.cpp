// The other end of the note transport benchmark. check_responder MODE [FULL_NAME] listens on a
// free port of 127.0.0.1, prints the port on one line, then serves until its standard input
// closes. Mode "check" answers each connection's check record the way the program does; mode
// "bare" reads one byte, writes one byte back and closes.
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>

#include "net/CNoteSocket.h"
#include "net/NoteExchange.h"

namespace {

constexpr int kMaxConnections = 100000;
// A connection that asks nothing for this long is dropped.
constexpr int kIdleTimeoutMs = 30000;

void ServeCheck(QTcpSocket* socket, const QString& fullName) {
    auto* note = new CNoteSocket(QCoreApplication::instance());
    note->Attach(socket);
    QObject::connect(note, &CNoteSocket::recordReceived, note, [note, fullName](const CMsg& msg) {
        if (msg.m_dwCode != MSG_CHECK)
            return;
        note->SendMsg(CheckAnswer(msg, fullName));
        note->Close();
    });
    QObject::connect(note, &CNoteSocket::closed, note, &QObject::deleteLater);
}

void ServeBare(QTcpSocket* socket) {
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
        if (socket->state() != QAbstractSocket::ConnectedState || socket->read(1).isEmpty())
            return;
        socket->write("!", 1);
        socket->disconnectFromHost();
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    const bool bare = mode == QStringLiteral("bare");
    if (!bare && mode != QStringLiteral("check")) {
        std::fputs("usage: check_responder check|bare [FULL_NAME]\n", stderr);
        return 2;
    }
    const QString fullName = app.arguments().value(2, QStringLiteral("Bench Responder"));

    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "check_responder: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(server.serverPort()));
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&input] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });

    int served = 0;
    QObject::connect(&server, &QTcpServer::newConnection, &app, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            QTimer::singleShot(kIdleTimeoutMs, socket, &QTcpSocket::abort);
            if (bare)
                ServeBare(socket);
            else
                ServeCheck(socket, fullName);
            if (++served >= kMaxConnections) {
                server.close();
                QCoreApplication::quit();
                return;
            }
        }
    });
    return app.exec();
}
