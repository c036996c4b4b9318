#include "addressbook/CLoginSocket.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include "addressbook/AddressBook.h"
#include "addressbook/LogonRecord.h"
#include "app/Settings.h"

namespace {
// Datagrams handled in one pass; more waiting are taken on the next turn of the event loop,
// so that a flood of datagrams never freezes the window.
constexpr int kDatagramsPerPass = 64;
}  // namespace

CLoginSocket::CLoginSocket(const Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_socket(new QUdpSocket(this)) {
    connect(m_socket, &QUdpSocket::readyRead, this, &CLoginSocket::OnReadyRead);
}

bool CLoginSocket::Create(quint16 port) {
    return m_socket->bind(QHostAddress(QHostAddress::AnyIPv4), port,
                          QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
}

quint16 CLoginSocket::LocalPort() const {
    return m_socket->localPort();
}

void CLoginSocket::OnReadyRead() {
    for (int i = 0; i < kDatagramsPerPass && m_socket->hasPendingDatagrams(); ++i) {
        // A longer datagram is cut to the record's size; a shorter one is no record.
        const QNetworkDatagram datagram = m_socket->receiveDatagram(LogonRecord::kSize);
        LogonRecord record;
        if (!datagram.isValid() || !LogonRecord::FromBytes(datagram.data(), record))
            continue;
        // The sender's own address is not used: the entry is addressed by computer name.
        PushRecentEntry(
            m_settings.m_strDataDirectory, QLatin1String(kOnLinesFile),
            QString::fromLatin1(kOnLinesDescription),
            AddressEntry{record.m_strFullName, record.m_strComputerName, record.m_nPort});
        Q_EMIT announcementReceived();
    }
    if (m_socket->hasPendingDatagrams())
        QTimer::singleShot(0, this, &CLoginSocket::OnReadyRead);
}
