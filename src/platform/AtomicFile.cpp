#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>

namespace {

// Read once while the program is still single-threaded: asking changes the mask for a moment.
mode_t ReadUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}
const mode_t g_umask = ReadUmask();

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The rename is only durable once the directory entry itself has reached the disk.
void SyncDirectoryOf(const QString& path) {
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool Fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

// Gives the written file the target's permissions (or a new file's), makes it durable if asked,
// and renames it over the target.
bool Commit(int fd, const QString& written, const QString& path, const AtomicFile::Options& options,
            QString* error) {
    const QByteArray tempName = QFile::encodeName(written);
    const QByteArray targetName = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    struct stat existing = {};
    mode_t mode = options.newFileMode ? options.newFileMode : (0666 & ~g_umask);
    if (options.fileMode)
        mode = options.fileMode;
    else if (::stat(targetName.constData(), &existing) == 0)
        mode = existing.st_mode & 07777;
    if (::fchmod(fd, mode) != 0)
        return Fail(error, ErrnoText(errno));
    if (options.durability == AtomicFile::Durability::Durable && ::fsync(fd) != 0)
        return Fail(error, ErrnoText(errno));
    if (::rename(tempName.constData(), targetName.constData()) != 0)
        return Fail(error, ErrnoText(errno));
    if (options.durability == AtomicFile::Durability::Durable)
        SyncDirectoryOf(path);
    return true;
}

}  // namespace

namespace AtomicFile {

bool Write(const QString& path, const QByteArray& data, QString* error) {
    return Write(path, data, Options(), error);
}

bool Write(const QString& path, const QByteArray& data, const Options& options, QString* error) {
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + QLatin1Char('.') +
                        target.fileName() + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(true);
    if (!temp.open())
        return Fail(error, temp.errorString());
    if (temp.write(data) != data.size() || !temp.flush())
        return Fail(error, temp.errorString());
    if (!Commit(temp.handle(), temp.fileName(), path, options, error))
        return false;
    temp.setAutoRemove(false);  // it is the target now
    return true;
}

bool Replace(const QString& written, const QString& path, const Options& options, QString* error) {
    const int fd = ::open(QFile::encodeName(written).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return Fail(error, ErrnoText(errno));
    const bool done = Commit(fd, written, path, options, error);
    ::close(fd);
    return done;
}

}  // namespace AtomicFile
