#pragma once

#include <QByteArray>
#include <QString>

class RegistryStore;

// The one access path to the per-user settings store. An object holds at most one open key;
// each operation records the status of its store call, and operations with a result return
// true exactly when that call succeeded.
class CRegistry {
public:
    enum Root { HKEY_CURRENT_USER };

    // Texts longer than this many characters are not read (the longest text that Preferences
    // lets a user store).
    static constexpr int kMaxStringChars = 260;

    explicit CRegistry(const RegistryStore& store);
    ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    bool Open(Root root, const QString& keyPath);
    void Close();
    bool CreateSubKey(const QString& subKeyPath);
    bool OpenAndCreate(Root root, const QString& parentPath, const QString& subKeyPath);

    // Reads at most 4 bytes into the low bytes of number; the stored type is not examined.
    bool ReadNumber(const QString& valueName, quint32& number);
    // On success text becomes the value's bytes up to its terminating zero; a longer text
    // than kMaxStringChars fails and leaves text unchanged.
    bool ReadString(const QString& valueName, QByteArray& text);
    // Reads at most size bytes into buffer; on success size holds the number of bytes read.
    bool ReadBinary(const QString& valueName, void* buffer, quint32& size);
    bool OpenAndReadBinary(Root root, const QString& keyPath, const QString& valueName,
                           void* buffer, quint32& size);

    bool WriteNumber(const QString& valueName, quint32 number);
    // Writes the text followed by its terminating zero.
    bool WriteString(const QString& valueName, const QByteArray& text);
    bool WriteBinary(const QString& valueName, const void* data, quint32 size);
    // Removes a value of the open key; fails when there is none of that name.
    bool DeleteValue(const QString& valueName);

    QString ErrorText() const;
    qint32 Status() const { return m_lStatus; }
    bool IsOpen() const { return !m_hKey.isEmpty(); }
    const QString& KeyPath() const { return m_strKeyPath; }

private:
    bool Finish(qint32 status);
    // The bytes of a value of the open key, or a failure status.
    qint32 ReadValue(const QString& valueName, QByteArray& data) const;
    bool WriteValue(const QString& valueName, quint32 type, const QByteArray& data);

    const RegistryStore& m_store;
    QByteArray m_hKey;  // full path of the open key; empty when none is open
    QString m_strKeyPath;
    qint32 m_lStatus = 0;
};
