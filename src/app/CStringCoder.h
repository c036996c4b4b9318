#pragma once

#include <QByteArray>

// A light scrambling that keeps the stored FTP password out of plain sight: each byte is
// complemented and XORed with the key, used cyclically from its first character on every call.
// Not encryption. Both operations work in place on a zero-terminated buffer of the caller's.
class CStringCoder {
public:
    static constexpr int kKeySize = 300;  // the key and its terminating zero

    explicit CStringCoder(const char* key);

    // Each returns the treated buffer up to its first zero byte (a byte may turn into zero,
    // which ends the result early).
    const QByteArray& Encode(char* buffer);
    const QByteArray& Decode(char* buffer);

private:
    char NextKeyChar(int& position) const;

    QByteArray m_strResult;
    char m_szKey[kKeySize] = {};
};
