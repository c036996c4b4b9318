#pragma once

#include <QString>

// A start of the program once, at the next logon: the desktop's autostart directory
// ($XDG_CONFIG_HOME/autostart) holds an entry that starts the program with kStartedArgument,
// and the program removes that entry at the start it caused. The entry carries a mark of its
// own, so that an autostart entry the user made is never taken for it.
namespace XdgAutostart {

inline constexpr const char* kStartedArgument = "--autostart";
inline constexpr const char* kEntryFileName = "quillpad-run-once.desktop";
// The key that marks the entry as the program's own.
inline constexpr const char* kMarkKey = "X-Quillpad-RunOnce";

QString EntryPath();

// Writes the entry, named name, that starts executable once. False, with the reason, when it
// cannot be written or a file that is not the program's own entry is in its place.
bool WriteRunOnce(const QString& name, const QString& executable, QString* error);

// Removes the entry when it is the program's own; true when one was removed.
bool RemoveRunOnce();

// True when the file is an entry the program wrote.
bool IsOwnEntry(const QString& path);

// One argument of an entry's Exec line, quoted where it must be.
QString QuoteExecArgument(const QString& argument);

}  // namespace XdgAutostart
