#pragma once

#include <QByteArray>
#include <QString>

class QHostAddress;

// The datagram by which a running copy announces itself: exactly 84 bytes, the user's full name
// at 0 (61 bytes), the computer name at 61 (19 bytes), each ending with a zero byte, and the
// note port at 80 (signed 32-bit, little-endian).
struct LogonRecord {
    static constexpr int kSize = 84;
    static constexpr int kNameOffset = 0;
    static constexpr int kNameField = 61;
    static constexpr int kComputerOffset = 61;
    static constexpr int kComputerField = 19;
    static constexpr int kPortOffset = 80;
    // Announcements always go to this port, whatever port the receivers listen on.
    static constexpr quint16 kAnnouncementPort = 6002;

    QString m_strFullName;
    QString m_strComputerName;
    qint32 m_nPort = 0;

    // A text too long for its field is cut at a character boundary, so that its zero byte fits.
    QByteArray ToBytes() const;
    // False for a datagram shorter than 84 bytes; a string is read up to its zero byte and
    // never past its own field.
    static bool FromBytes(QByteArrayView datagram, LogonRecord& record);
};

// Broadcasts one announcement to 255.255.255.255, port 6002 (tests give another destination).
// False with "Error: Can't create socket to send logon information!" or "Error: Can't send
// login information!".
bool SendLogonAnnouncement(const LogonRecord& record, QString* error);
bool SendLogonAnnouncement(const LogonRecord& record, const QHostAddress& destination, quint16 port,
                           QString* error);
