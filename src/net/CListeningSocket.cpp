#include "net/CListeningSocket.h"

CListeningSocket::CListeningSocket(QObject* parent) : QTcpServer(parent) {
    setListenBacklogSize(kBacklog);
}

bool CListeningSocket::StartListening(qint64 port, QString* error) {
    const QString createText =
        QStringLiteral("Error: Can't create socket to listen at port %1").arg(port);
    if (port < 1 || port > 65535) {
        if (error)
            *error = createText;
        return false;
    }
    if (listen(QHostAddress::Any, static_cast<quint16>(port)))
        return true;
    // Binding the port is the creation of the socket; what fails after it is the listen.
    switch (serverError()) {
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
