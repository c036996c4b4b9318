#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// Writes a whole file so that readers see either the old content or the new one, never a part:
// the data goes into a file beside the target, is flushed to disk and renamed over the target.
namespace AtomicFile {

bool Write(const QString& path, const QByteArray& data, QString* error = nullptr);

// The same, giving a newly created file these permissions (an existing file keeps its own).
bool Write(const QString& path, const QByteArray& data, QFileDevice::Permissions newFilePermissions,
           QString* error = nullptr);

}  // namespace AtomicFile
