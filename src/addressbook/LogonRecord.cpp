#include "addressbook/LogonRecord.h"

#include <QHostAddress>
#include <QUdpSocket>
#include <QtEndian>

namespace {

// The longest start of the text's bytes that fits maxBytes without cutting a character.
QByteArray CutAtCharacter(const QString& text, int maxBytes) {
    QByteArray bytes = text.toLocal8Bit();
    if (bytes.size() <= maxBytes)
        return bytes;
    qsizetype cut = maxBytes;
    // UTF-8 continuation bytes are 10xxxxxx: step back to the start of the cut character.
    while (cut > 0 && (static_cast<uchar>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return bytes;
}

QString FieldText(QByteArrayView field) {
    const qsizetype zero = field.indexOf('\0');
    return QString::fromLocal8Bit(zero < 0 ? field : field.first(zero));
}

}  // namespace

QByteArray LogonRecord::ToBytes() const {
    QByteArray bytes(kSize, '\0');
    const QByteArray name = CutAtCharacter(m_strFullName, kNameField - 1);
    const QByteArray computer = CutAtCharacter(m_strComputerName, kComputerField - 1);
    bytes.replace(kNameOffset, name.size(), name);
    bytes.replace(kComputerOffset, computer.size(), computer);
    qToLittleEndian<qint32>(m_nPort, bytes.data() + kPortOffset);
    return bytes;
}

bool LogonRecord::FromBytes(QByteArrayView datagram, LogonRecord& record) {
    if (datagram.size() < kSize)
        return false;
    record.m_strFullName = FieldText(datagram.sliced(kNameOffset, kNameField));
    record.m_strComputerName = FieldText(datagram.sliced(kComputerOffset, kComputerField));
    record.m_nPort = qFromLittleEndian<qint32>(datagram.data() + kPortOffset);
    return true;
}

bool SendLogonAnnouncement(const LogonRecord& record, QString* error) {
    return SendLogonAnnouncement(record, QHostAddress(QHostAddress::Broadcast),
                                 LogonRecord::kAnnouncementPort, error);
}

bool SendLogonAnnouncement(const LogonRecord& record, const QHostAddress& destination, quint16 port,
                           QString* error) {
    QUdpSocket sender;
    if (!sender.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        if (error)
            *error = QStringLiteral("Error: Can't create socket to send logon information!");
        return false;
    }
    const QByteArray bytes = record.ToBytes();
    if (sender.writeDatagram(bytes, destination, port) != bytes.size()) {
        if (error)
            *error = QStringLiteral("Error: Can't send login information!");
        return false;
    }
    return true;
}
