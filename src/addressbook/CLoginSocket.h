#pragma once

#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include "addressbook/AddressBook.h"
#include "addressbook/RecentListWriter.h"

class QHostInfo;
class QTimer;
class QUdpSocket;
struct Settings;

// Receives the announcements of the copies on the network and puts each announcer at the top
// of the on-line list (OL.add) with its announced port. The entry's address is the announced
// computer name when that name resolves to the address the datagram came from, and otherwise
// that address itself: on many networks host names resolve nowhere (or elsewhere), and a
// note sent to such a name would find no one. Names are looked up without holding the
// user-interface thread; entries go into the list in the order their datagrams arrived, and a
// burst of them in one write. Several copies on one machine can each listen on the same port.
class CLoginSocket : public QObject {
    Q_OBJECT
public:
    // Announcements waiting for their names; more arriving meanwhile are dropped (a flood).
    static constexpr int kMaxWaiting = 256;
    // A name not looked up within this time counts as one that does not resolve.
    static constexpr int kLookupTimeoutMs = 5000;

    // Reads the data directory from settings at each write of the list.
    CLoginSocket(const Settings& settings, QObject* parent = nullptr);
    ~CLoginSocket() override;

    // Listens on port on every local address; false when the port cannot be bound.
    bool Create(quint16 port);
    quint16 LocalPort() const;

Q_SIGNALS:
    // An announcement has been handed over to be written into the on-line list.
    void announcementReceived();

private:
    struct Announcement {
        AddressEntry m_entry;  // its address is set once known
        QString m_strComputerName;
        QHostAddress m_source;
        QDeadlineTimer m_deadline;
        bool m_bKnown = false;
    };

    void OnReadyRead();
    void Settle(const QString& name, const QList<QHostAddress>& addresses);
    void OnLookupTimeout();
    void Flush();

    const Settings& m_settings;
    QUdpSocket* m_socket;
    QTimer* m_lookupTimer;
    QList<Announcement> m_waiting;  // in the order the datagrams arrived
    QHash<QString, int> m_lookups;  // look-ups running, by name
    RecentListWriter m_writer;
};
