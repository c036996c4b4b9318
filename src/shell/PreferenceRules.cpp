#include "shell/PreferenceRules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "app/AppFunctions.h"

namespace PreferenceRules {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("PreferenceRules", text);
}

}  // namespace

QString WithLocalSeparator(const QString& directory) {
    if (directory.isEmpty() || directory.endsWith(QLatin1Char('/')))
        return directory;
    return directory + QLatin1Char('/');
}

QString WithServerSeparator(const QString& directory) {
    if (directory.isEmpty() || directory.endsWith(QLatin1Char('/')) ||
        directory.endsWith(QLatin1Char('\\')))
        return directory;
    return directory +
           (directory.contains(QLatin1Char('\\')) ? QLatin1Char('\\') : QLatin1Char('/'));
}

bool PrepareDataDirectory(const QString& directory, QString* error) {
    if (directory.trimmed().isEmpty()) {
        *error = Tr("Please enter a data directory.");
        return false;
    }
    if (!QDir::isAbsolutePath(directory)) {
        *error = Tr("The data directory %1 is not a full path: it must begin with \"/\".")
                     .arg(directory);
        return false;
    }
    CreateDirectoryChain(WithLocalSeparator(directory));
    const QFileInfo info(directory);
    if (!info.isDir() || !info.isWritable()) {
        *error = Tr("The data directory %1 cannot be created or written to. Please choose "
                    "another one.")
                     .arg(directory);
        return false;
    }
    return true;
}

}  // namespace PreferenceRules
