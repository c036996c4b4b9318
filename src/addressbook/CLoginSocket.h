#pragma once

#include <QObject>

class QUdpSocket;
struct Settings;

// Receives the announcements of the copies on the network and puts each announcer at the top
// of the on-line list (OL.add), addressed by its computer name and announced port. Several
// copies on one machine can each listen on the same port.
class CLoginSocket : public QObject {
    Q_OBJECT
public:
    // Reads the data directory from settings at each announcement.
    CLoginSocket(const Settings& settings, QObject* parent = nullptr);

    // Listens on port on every local address; false when the port cannot be bound.
    bool Create(quint16 port);
    quint16 LocalPort() const;

Q_SIGNALS:
    // An announcement has been put into the on-line list.
    void announcementReceived();

private:
    void OnReadyRead();

    const Settings& m_settings;
    QUdpSocket* m_socket;
};
