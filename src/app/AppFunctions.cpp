#include "app/AppFunctions.h"

#include <unistd.h>

#include <QDir>
#include <ctime>

QString FormatLocalTime(const char* format, const QDateTime& when) {
    const std::time_t seconds = static_cast<std::time_t>(when.toSecsSinceEpoch());
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[256];
    const size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(length));
}

QString GetTimeStamp(const QDateTime& when) {
    return FormatLocalTime("%I:%M %p - %x", when);
}

QString GetLogFilePath(const QString& dataDirectory, const QDateTime& when) {
    return dataDirectory + FormatLocalTime("%B", when) + QStringLiteral(".qpd");
}

bool CreateDirectoryChain(const QString& path) {
    const qsizetype cut = path.lastIndexOf(QLatin1Char('/'));
    if (cut > 0) {
        const QString shorter = path.left(cut);
        CreateDirectoryChain(shorter);
        QDir().mkdir(shorter);
    }
    return true;
}

QString ComputerName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return QString();
    // Whole: the announcement carries as much of it as its field holds.
    return QString::fromLocal8Bit(name);
}
