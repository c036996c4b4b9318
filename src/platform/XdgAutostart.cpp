#include "platform/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/AtomicFile.h"

namespace XdgAutostart {

namespace {

// An entry is a few hundred bytes; anything far larger is nothing of ours.
constexpr qint64 kMaxEntryBytes = 64 * 1024;

// Values of a desktop entry escape these with a backslash.
QString EscapeValue(const QString& value) {
    QString escaped;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            escaped += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QStringLiteral("\\n");
        else
            escaped += c;
    }
    return escaped;
}

}  // namespace

QString EntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + QLatin1String(kEntryFileName);
}

QString QuoteExecArgument(const QString& argument) {
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`%");
    // A field code sign is doubled even outside quotes.
    QString doubled = argument;
    doubled.replace(QLatin1Char('%'), QStringLiteral("%%"));
    bool plain = !argument.isEmpty();
    for (const QChar c : argument)
        plain = plain && !kReserved.contains(c);
    if (plain)
        return doubled;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : std::as_const(doubled)) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

bool IsOwnEntry(const QString& path) {
    QFile file(path);
    if (file.size() > kMaxEntryBytes || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray mark = QByteArray(kMarkKey) + "=true";
    for (const QByteArray& line : file.read(kMaxEntryBytes).split('\n')) {
        if (line.trimmed() == mark)
            return true;
    }
    return false;
}

bool WriteRunOnce(const QString& name, const QString& executable, QString* error) {
    const QString path = EntryPath();
    if (QFileInfo::exists(path) && !IsOwnEntry(path)) {
        *error = QStringLiteral("%1: not an entry of this program").arg(path);
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    // The desktop's value escapes, then the Exec line's own quoting.
    const QString exec = EscapeValue(QuoteExecArgument(executable) + QLatin1Char(' ') +
                                     QLatin1String(kStartedArgument));
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=%1\n"
                              "Comment=Starts once at the next logon, as the program was running "
                              "when the session ended\n"
                              "Exec=%2\n"
                              "NoDisplay=true\n"
                              "%3=true\n")
                              .arg(EscapeValue(name), exec, QLatin1String(kMarkKey));
    return AtomicFile::Write(path, entry.toUtf8(), error);
}

bool RemoveRunOnce() {
    const QString path = EntryPath();
    return IsOwnEntry(path) && QFile::remove(path);
}

}  // namespace XdgAutostart
