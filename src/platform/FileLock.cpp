#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <cstring>

FileLock::FileLock(QString path) : m_path(std::move(path)) {}

FileLock::~FileLock() {
    Unlock();
}

FileLock::Result FileLock::TryLock(int timeoutMs, QString* error) {
    if (m_fd >= 0)
        return Result::Locked;
    const QByteArray name = QFile::encodeName(m_path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return Result::Failed;
    }
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return Result::Locked;
        }
        const int err = errno;
        if ((err != EWOULDBLOCK && err != EINTR) || deadline.hasExpired()) {
            if (error)
                *error = QString::fromLocal8Bit(std::strerror(err));
            ::close(fd);
            return err == EWOULDBLOCK || err == EINTR ? Result::Busy : Result::Failed;
        }
        QThread::msleep(5);
    }
}

void FileLock::Unlock() {
    if (m_fd < 0)
        return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}
