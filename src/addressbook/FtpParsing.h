#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// What the FTP client makes of the bytes a server sends, apart from the sockets: reply lines
// and directory listings. Both come from servers nobody here controls.
namespace FtpReply {

// The longest reply line taken, with its line end; a longer one ends the connection.
constexpr qsizetype kMaxLineBytes = 4095;

// The reply line without the blanks and line ends at its end.
QByteArray Trimmed(QByteArrayView received);
// The number in the first three characters; anything else there gives 0.
int Code(QByteArrayView line);
// A line whose fourth character is '-' is followed by more lines of the same reply.
bool IsContinued(QByteArrayView line);

}  // namespace FtpReply

namespace Retrieval {

// The names of a directory listing worth fetching, those that contain "add" (exact case): the
// whole name after the date of a Unix long-form line, else the last blank-separated word of the
// line. Reading stops at the first line without a blank.
QStringList ParseListing(const QByteArray& listing);

// A name that could only be written outside the data directory (it holds a '/' or '\', or is
// "." or "..") is never fetched.
bool IsPlainFileName(const QString& name);

}  // namespace Retrieval
