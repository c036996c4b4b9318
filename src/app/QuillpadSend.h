#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "addressbook/AddressBook.h"

class QIODevice;

// The command-line sender: delivers a note to, or checks, the addresses given on its command
// line with the identity and time-out of the settings store, which it never writes. It keeps no
// log and no recent list.
namespace QuillpadSend {

constexpr int kExitAllReached = 0;
constexpr int kExitSomeUnreached = 1;
constexpr int kExitUsage = 2;

// The note read from standard input may be at most this long.
constexpr qint64 kMaxInputBytes = 1024 * 1024;

struct Invocation {
    enum class Mode { Send, Check, Help };
    Mode m_mode = Mode::Send;
    std::optional<QString> m_text;  // -m; without it the note is read from standard input
    std::optional<int> m_timeoutSeconds;
    QList<AddressEntry> m_addresses;  // each named as given on the command line
};

// HOST[:PORT], HOST a name, a dotted IPv4 address or a bracketed IPv6 address. The entry's name
// is the text as given. A port that is not a number is an error; a number outside 1..65535 is
// kept (a value beyond 32 bits as 0), since it fails at the connect.
std::optional<AddressEntry> ParseAddress(const QString& given, QString* error);

// The arguments after the program name.
std::optional<Invocation> ParseArguments(const QStringList& arguments, QString* error);

// The whole command. The note is read from input to its end when -m is absent; results go to
// output, unreachable recipients and usage errors to errors. Returns the exit status.
int Run(const QStringList& arguments, QIODevice& input, QIODevice& output, QIODevice& errors);

// Run on the process's standard input, output and error.
int RunWithStandardStreams(const QStringList& arguments);

}  // namespace QuillpadSend
