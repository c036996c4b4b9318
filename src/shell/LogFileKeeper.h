#pragma once

#include <QString>

// What a save keeps of the file it is about to write over. Log file names carry no year, and
// files of other programs hold more than a log can (fonts, headers, drawings); neither may be
// lost to a save. Each rule works on the file alone and says in note what it kept, as the line
// the log gets; note stays empty when nothing was kept.
namespace LogFileKeeper {

// A file last written in another year than this one: the month's file of that year.
bool IsFromAnotherYear(const QString& path);

// Before the first save over a file that another program wrote, keeps it as it was as
// "<path>.orig", as private as the file itself. A ".orig" already there is never written over.
// False, with the reason in error, when the file cannot be read or kept.
bool KeepOriginal(const QString& path, QString* note, QString* error);

// A month's file (".qpd") last written in another year is renamed "<Month> <year>.qpd" (with
// " (2)", " (3)"... when that name is taken), so that this year's log starts a file of its own.
// False, with the reason in error, when it cannot be renamed.
bool KeepEarlierYear(const QString& path, QString* note, QString* error);

}  // namespace LogFileKeeper
