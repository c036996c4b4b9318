#include "shell/StatusPaneText.h"

#include "app/AppFunctions.h"

QString PortPaneText(quint32 port) {
    // Formatted as a signed number, as the port has always been shown.
    return QStringLiteral("Port %1").arg(static_cast<qint32>(port));
}

QString DatePaneText(const QDateTime& now) {
    return FormatLocalTime("%x", now);
}

QString TimePaneText(const QDateTime& now) {
    return FormatLocalTime("%I:%M  ", now) +
           (now.time().hour() >= 12 ? QStringLiteral("PM ") : QStringLiteral("AM "));
}
