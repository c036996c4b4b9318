#pragma once

// The process's limit on open files. A desktop session often starts programs with a soft
// limit of 1024 and a far higher hard one; a copy that holds many connections at once raises
// its own soft limit, and sizes what it holds by the limit it got.
namespace OpenFiles {

// What a running copy asks for: its incoming connections, their waiting queue and its own files.
constexpr int kWantedByProgram = 4096;

// Raises the soft limit to wanted, or to the hard limit where that is lower; never lowers it.
// Returns the soft limit in force afterwards.
int RaiseLimit(int wanted);
// The soft limit in force.
int Limit();

}  // namespace OpenFiles
