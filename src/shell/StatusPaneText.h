#pragma once

#include <QDateTime>
#include <QString>

// The texts of the main window's own status-bar panes.
QString PortPaneText(quint32 port);
QString DatePaneText(const QDateTime& now);
// "09:05  PM " at 21:05, "12:30  AM " at 00:30: the hour in twelve-hour form, two blanks, the
// half of the day and one blank.
QString TimePaneText(const QDateTime& now);
