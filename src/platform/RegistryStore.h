#pragma once

#include <QString>
#include <functional>

#include "platform/RegistryDocument.h"

// Status codes of the settings store, numbered after the registry's own error codes so that a
// code means the same thing wherever the program reports it.
namespace RegistryStatus {
constexpr qint32 kSuccess = 0;
constexpr qint32 kNotFound = 2;        // no such key or value
constexpr qint32 kAccessDenied = 5;    // the store file exists but cannot be read
constexpr qint32 kInvalidHandle = 6;   // no key is open
constexpr qint32 kWriteFault = 29;     // the new store file could not be written
constexpr qint32 kLockViolation = 33;  // another writer held the store too long
constexpr qint32 kMoreData = 234;      // the value is larger than the reader allows

QString Text(qint32 status);
}  // namespace RegistryStatus

// The file behind the settings store. Readers take the file as it is (writers replace it
// atomically, so a reader never sees half of it); every change is a read-modify-write under an
// exclusive lock on a companion lock file, so two processes never lose each other's values.
class RegistryStore {
public:
    explicit RegistryStore(QString filePath);

    // $XDG_CONFIG_HOME/Vexor/Quillpad/registry.reg (XDG default ~/.config).
    static QString DefaultFilePath();

    const QString& FilePath() const { return m_filePath; }

    // The store as it is now; a missing file is an empty store. Returns a status code.
    qint32 Read(RegistryDocument& doc) const;

    // Runs change on the current content under the lock and, when it returns kSuccess,
    // replaces the file with the result. A file with unreadable lines is first copied aside
    // as registry.reg.bad, since the lines that could not be read are not written back.
    qint32 Update(const std::function<qint32(RegistryDocument&)>& change) const;

    static constexpr int kLockTimeoutMs = 10000;

private:
    QString m_filePath;
};
