#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

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

// A file is written as ".<name>.XXXXXX" beside its target: hidden, and ending in no extension
// that the program reads. The writer holds it locked until it is renamed, so one that no one
// holds was left by a write that was killed. A writer makes its file a moment before it locks
// it: an empty one only counts as left once it is older than that moment could be.
constexpr qsizetype kTempSuffixLength = 6;
constexpr time_t kEmptyTempAgeSeconds = 60;
constexpr int kLockTempTimeoutMs = 2000;

QString TempPrefix(const QFileInfo& target) {
    return QLatin1Char('.') + target.fileName() + QLatin1Char('.');
}

void RemoveIfLeft(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return;
    struct stat held = {};
    struct stat named = {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        (held.st_size > 0 || held.st_mtime < std::time(nullptr) - kEmptyTempAgeSeconds) &&
        ::lstat(name.constData(), &named) == 0 && named.st_ino == held.st_ino &&
        named.st_dev == held.st_dev)
        ::unlink(name.constData());
    ::close(fd);
}

QStringList FileNames(const QDir& dir) {
    return dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
}

// The files that killed writes of target left beside it: they would pile up, each as large as
// the file, since nothing else ever looks at them.
void RemoveLeftTempsOf(const QFileInfo& target) {
    const QString prefix = TempPrefix(target);
    const QDir dir(target.absolutePath());
    for (const QString& name : FileNames(dir)) {
        if (name.size() == prefix.size() + kTempSuffixLength && name.startsWith(prefix))
            RemoveIfLeft(dir.filePath(name));
    }
}

// A cleaner that is looking at the new file holds it for a moment only. Where the file system
// has no such locks the file goes unheld, and no cleaner can take it either.
bool HoldTemp(int fd) {
    const QDeadlineTimer deadline(kLockTempTimeoutMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(1);
    }
    return true;
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
    RemoveLeftTempsOf(target);
    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + TempPrefix(target) +
                        QString(kTempSuffixLength, QLatin1Char('X')));
    temp.setAutoRemove(true);
    if (!temp.open())
        return Fail(error, temp.errorString());
    if (!HoldTemp(temp.handle()))
        return Fail(error, ErrnoText(errno));
    if (temp.write(data) != data.size() || !temp.flush())
        return Fail(error, temp.errorString());
    if (!Commit(temp.handle(), temp.fileName(), path, options, error))
        return false;
    temp.setAutoRemove(false);  // it is the target now
    return true;
}

void RemoveLeftTemps(const QString& directory, const QStringList& extensions) {
    const QDir dir(directory);
    for (const QString& name : FileNames(dir)) {
        // ".<target>.XXXXXX", the target's name ending in one of the extensions.
        if (!name.startsWith(QLatin1Char('.')) || name.size() < kTempSuffixLength + 3 ||
            name.at(name.size() - kTempSuffixLength - 1) != QLatin1Char('.'))
            continue;
        const QString target = name.sliced(1, name.size() - kTempSuffixLength - 2);
        if (std::any_of(extensions.begin(), extensions.end(), [&target](const QString& ext) {
                return target.size() > ext.size() && target.endsWith(ext, Qt::CaseInsensitive);
            }))
            RemoveIfLeft(dir.filePath(name));
    }
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
