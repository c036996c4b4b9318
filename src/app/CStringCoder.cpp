#include "app/CStringCoder.h"

#include <cstring>

CStringCoder::CStringCoder(const char* key) {
    // A longer key is cut so that it and its zero fit the key buffer.
    std::strncpy(m_szKey, key, kKeySize - 1);
}

char CStringCoder::NextKeyChar(int& position) const {
    if (m_szKey[position] == '\0')
        position = 0;
    // An empty key leaves the bytes to the complement alone.
    return m_szKey[position] == '\0' ? '\0' : m_szKey[position++];
}

const QByteArray& CStringCoder::Encode(char* buffer) {
    for (char* p = buffer; *p != '\0'; ++p)
        *p = static_cast<char>(~*p);
    int position = 0;
    for (char* p = buffer; *p != '\0'; ++p)
        *p = static_cast<char>(*p ^ NextKeyChar(position));
    m_strResult = QByteArray(buffer);
    return m_strResult;
}

const QByteArray& CStringCoder::Decode(char* buffer) {
    int position = 0;
    for (char* p = buffer; *p != '\0'; ++p)
        *p = static_cast<char>(*p ^ NextKeyChar(position));
    for (char* p = buffer; *p != '\0'; ++p)
        *p = static_cast<char>(~*p);
    m_strResult = QByteArray(buffer);
    return m_strResult;
}
