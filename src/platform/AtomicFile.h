#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Writes a whole file so that readers see either the old content or the new one, never a part:
// the data goes into a file beside the target and is renamed over it. A durable write also
// makes sure the data and the rename have reached the disk before it returns. A write that is
// killed leaves its file beside the target under a hidden name that nothing reads; the next
// write of that target removes it.
namespace AtomicFile {

enum class Durability {
    Durable,  // flushed to the disk: for settings, logs and address books
    Flushed,  // handed to the system only: for lists that are rebuilt anyway
};

struct Options {
    Durability durability = Durability::Durable;
    // Permissions of a file that does not exist yet (an existing file keeps its own); 0 means
    // the usual ones for a new file (0666 less the umask).
    unsigned int newFileMode = 0;
    // Permissions the file gets whatever it had before, for files others must not read; 0
    // leaves them as above.
    unsigned int fileMode = 0;
};

bool Write(const QString& path, const QByteArray& data, QString* error = nullptr);
bool Write(const QString& path, const QByteArray& data, const Options& options,
           QString* error = nullptr);
// Removes what killed writes left in directory for targets whose names end in one of the
// extensions (".qpd"): files no later write of their target may come to clear.
void RemoveLeftTemps(const QString& directory, const QStringList& extensions);

// Puts a file already written beside path (in the same directory) in its place, the same way.
bool Replace(const QString& written, const QString& path, const Options& options = Options(),
             QString* error = nullptr);

}  // namespace AtomicFile
