#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFileInfo>
#include <QSaveFile>

namespace {

// The rename is only durable once the directory entry itself has reached the disk.
void SyncDirectoryOf(const QString& path) {
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool WriteImpl(const QString& path, const QByteArray& data,
               std::optional<QFileDevice::Permissions> permissions, QString* error) {
    const bool existed = QFileInfo::exists(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (permissions && !existed)
        file.setPermissions(*permissions);
    if (file.write(data) != data.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    // QSaveFile::commit flushes and syncs the new file before it renames it over the old one.
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    SyncDirectoryOf(path);
    return true;
}

}  // namespace

namespace AtomicFile {

bool Write(const QString& path, const QByteArray& data, QString* error) {
    return WriteImpl(path, data, std::nullopt, error);
}

bool Write(const QString& path, const QByteArray& data, QFileDevice::Permissions newFilePermissions,
           QString* error) {
    return WriteImpl(path, data, newFilePermissions, error);
}

}  // namespace AtomicFile
