#pragma once

#include <QByteArray>
#include <QString>

// The two recent lists kept by the program itself, in the data directory.
inline constexpr const char* kOnLinesFile = "OL.add";
inline constexpr const char* kOnLinesDescription = "On-Lines";
inline constexpr const char* kLastSendersFile = "LS.add";
inline constexpr const char* kLastSendersDescription = "Last Senders";

// Creates or replaces a book that holds only its description (no line end). The file is
// replaced atomically: a reader sees the old book or the new one.
bool CreateAddressBook(const QString& path, const QString& description);

// Empties OL.add and LS.add in the data directory (joined by plain concatenation). A list that
// cannot be written is left as it was.
void ResetRecentLists(const QString& dataDirectory);
