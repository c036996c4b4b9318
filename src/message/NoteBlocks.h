#pragma once

#include <QString>
#include <QStringList>

// The fixed lines that notes leave in the log and in their windows. Each line is written with
// a line end after it; an empty string is an empty line.
namespace NoteBlocks {

inline constexpr const char* kOutgoingBanner =
    "------------------------ Outgoing Message ------------------------ ";
inline constexpr const char* kIncomingBanner =
    "------------------------ Incoming Message ------------------------ ";
// Written with a line end of its own, and one more after it: it leaves an empty line.
inline constexpr const char* kReplySeparator = "---------- Reply Separator ----------\r\n";

QString FromLine(const QString& name, const QString& timeStamp);  // "FROM: %s at %s"

// What the Send command writes into the log before any connection is made.
QStringList OutgoingBlock(const QString& recipientText, const QString& fullName,
                          const QString& timeStamp, const QString& body);
// What the log receives at MSG_BEGIN.
QStringList IncomingBanner();

// Characters of a note's line shown outside its window (a desktop notification).
inline constexpr int kSummaryLineLimit = 120;
// The first line of text that is not blank, with control characters and runs of blanks as one
// blank, cut to at most maxChars characters (a cut line ends in "…").
QString SummaryLine(const QString& text, int maxChars = kSummaryLineLimit);

}  // namespace NoteBlocks
