#pragma once

#include <QDateTime>
#include <QString>

// The local time formatted with strftime codes in the user's locale.
QString FormatLocalTime(const char* format, const QDateTime& when = QDateTime::currentDateTime());

// The local time as "%I:%M %p - %x", the stamp that notes and log blocks carry.
QString GetTimeStamp(const QDateTime& when = QDateTime::currentDateTime());

// The month's log file: the data directory followed by the locale's full month name and ".qpd".
QString GetLogFilePath(const QString& dataDirectory,
                       const QDateTime& when = QDateTime::currentDateTime());

// Creates every missing directory along path, up to its last '/': a directory given with a
// trailing '/' is created completely. Failures are ignored (a level may exist already).
bool CreateDirectoryChain(const QString& path);

// The machine's host name, whole; empty if it cannot be read.
QString ComputerName();
