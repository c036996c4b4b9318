#pragma once

#include <QString>

// An exclusive advisory lock on a lock file (flock), shared by processes and by threads of one
// process alike. Waiting for it is always bounded.
class FileLock {
public:
    explicit FileLock(QString path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    enum class Result { Locked, Busy, Failed };

    // Waits at most timeoutMs for the lock; 0 tries once. Creates the lock file if needed.
    // Busy: another holder kept it; Failed: the lock file could not be made or locked.
    Result TryLock(int timeoutMs, QString* error = nullptr);
    bool Lock(int timeoutMs, QString* error = nullptr) {
        return TryLock(timeoutMs, error) == Result::Locked;
    }
    void Unlock();
    bool IsLocked() const { return m_fd >= 0; }
    const QString& Path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};
