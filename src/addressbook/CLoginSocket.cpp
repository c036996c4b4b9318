#include "addressbook/CLoginSocket.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include "addressbook/LogonRecord.h"
#include "app/Settings.h"

namespace {

// Datagrams handled in one pass; more waiting are taken on the next turn of the event loop,
// so that a flood of datagrams never freezes the window.
constexpr int kDatagramsPerPass = 64;

// An IPv4 address in the IPv6 form (::ffff:a.b.c.d) as its plain IPv4 form.
QHostAddress Plain(const QHostAddress& address) {
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4) : address;
}

}  // namespace

CLoginSocket::CLoginSocket(const Settings& settings, QObject* parent)
    : QObject(parent),
      m_settings(settings),
      m_socket(new QUdpSocket(this)),
      m_lookupTimer(new QTimer(this)) {
    m_lookupTimer->setSingleShot(true);
    connect(m_socket, &QUdpSocket::readyRead, this, &CLoginSocket::OnReadyRead);
    connect(m_lookupTimer, &QTimer::timeout, this, &CLoginSocket::OnLookupTimeout);
}

CLoginSocket::~CLoginSocket() {
    for (const int id : std::as_const(m_lookups))
        QHostInfo::abortHostLookup(id);
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
        if (!datagram.isValid() || !LogonRecord::FromBytes(datagram.data(), record) ||
            m_waiting.size() >= kMaxWaiting)
            continue;
        Announcement announcement;
        announcement.m_entry = AddressEntry{record.m_strFullName, QString(), record.m_nPort};
        announcement.m_strComputerName = record.m_strComputerName;
        announcement.m_source = Plain(datagram.senderAddress());
        const QString name = record.m_strComputerName;
        const QHostAddress literal(name);
        if (name.isEmpty() || !literal.isNull()) {
            // An address given as the name is used only when it is the sender's own.
            const bool isSource = !literal.isNull() && Plain(literal) == announcement.m_source;
            announcement.m_entry.m_strAddress = isSource ? name : announcement.m_source.toString();
            announcement.m_bKnown = true;
        } else {
            announcement.m_deadline = QDeadlineTimer(kLookupTimeoutMs);
            if (!m_lookups.contains(name))
                m_lookups.insert(
                    name, QHostInfo::lookupHost(name, this, [this, name](const QHostInfo& info) {
                        Settle(name, info.addresses());
                        Flush();
                    }));
        }
        m_waiting.append(announcement);
    }
    Flush();
    if (m_socket->hasPendingDatagrams())
        QTimer::singleShot(0, this, &CLoginSocket::OnReadyRead);
}

void CLoginSocket::Settle(const QString& name, const QList<QHostAddress>& addresses) {
    m_lookups.remove(name);
    QList<QHostAddress> plain;
    for (const QHostAddress& address : addresses)
        plain.append(Plain(address));
    for (Announcement& announcement : m_waiting) {
        if (announcement.m_bKnown || announcement.m_strComputerName != name)
            continue;
        announcement.m_entry.m_strAddress =
            plain.contains(announcement.m_source) ? name : announcement.m_source.toString();
        announcement.m_bKnown = true;
    }
}

void CLoginSocket::OnLookupTimeout() {
    if (m_waiting.isEmpty())
        return;
    const QString name = m_waiting.first().m_strComputerName;
    if (const auto running = m_lookups.constFind(name); running != m_lookups.cend())
        QHostInfo::abortHostLookup(running.value());
    Settle(name, {});
    Flush();
}

void CLoginSocket::Flush() {
    QList<AddressEntry> ready;
    while (!m_waiting.isEmpty() && m_waiting.first().m_bKnown)
        ready.append(m_waiting.takeFirst().m_entry);
    if (!ready.isEmpty()) {
        m_writer.Push(m_settings.m_strDataDirectory, QLatin1String(kOnLinesFile),
                      QString::fromLatin1(kOnLinesDescription), ready);
        for (qsizetype i = 0; i < ready.size(); ++i)
            Q_EMIT announcementReceived();
    }
    // The first announcement still waiting for its name gives up at its deadline.
    if (m_waiting.isEmpty())
        m_lookupTimer->stop();
    else
        m_lookupTimer->start(
            static_cast<int>(qMax<qint64>(0, m_waiting.first().m_deadline.remainingTime())));
}
