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

std::optional<quint32> ParseNumber(const QString& text, NumberRange range) {
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;  // no signs, no blanks inside, no other digits than 0 to 9
    }
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok);
    if (!ok || value < range.min || value > range.max)
        return std::nullopt;
    return static_cast<quint32>(value);
}

QString RangePrompt(NumberRange range) {
    return Tr("Please enter a whole number from %1 to %2.").arg(range.min).arg(range.max);
}

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
