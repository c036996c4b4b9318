#include "app/QuillpadSend.h"

#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <limits>

#include "app/Settings.h"
#include "net/NoteExchange.h"
#include "net/NoteRuns.h"
#include "platform/RegistryStore.h"

namespace QuillpadSend {
namespace {

// The connect turns its time-out into milliseconds held in an int.
constexpr qint64 kMaxTimeoutSeconds = std::numeric_limits<int>::max() / 1000;

const char kHelp[] =
    "Usage: quillpad-send [--timeout S] [-m TEXT] HOST[:PORT]...\n"
    "       quillpad-send [--timeout S] --check HOST[:PORT]...\n"
    "\n"
    "Delivers a Quillpad note to each HOST in turn. Without -m the note is read from\n"
    "standard input (at most 1 MiB). A note longer than a receiver accepts (1 MiB of text,\n"
    "every line ending in CR LF) is refused. With --check, prints for each HOST a line with\n"
    "the address, a tab and \"listening\" or \"not listening\", and for a listening one a\n"
    "tab and its user's full name.\n"
    "\n"
    "  -m TEXT       the note's text\n"
    "  --check       check the addresses instead of sending\n"
    "  --timeout S   connect time-out in seconds (default: the \"Socket Timeout\" setting)\n"
    "  -h, --help    show this help\n"
    "\n"
    "HOST is a name, a dotted IPv4 address or a bracketed IPv6 address such as [::1];\n"
    "PORT defaults to 6001. The sender's name and profile come from Quillpad's settings.\n"
    "\n"
    "Exit status: 0 when every address was reached, 1 when any was not, 2 for a usage error.\n";

void Write(QIODevice& device, const QString& text) {
    device.write(text.toLocal8Bit());
}

// Digits only. Values too large for any use saturate: they are still numbers.
std::optional<qint64> ParseWholeNumber(QStringView text) {
    constexpr qint64 kSaturated = qint64(1) << 40;
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = std::min<qint64>(value * 10 + (c.unicode() - u'0'), kSaturated);
    }
    return value;
}

std::optional<qint32> ParsePort(QStringView text) {
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        text = text.mid(1);
    const std::optional<qint64> value = ParseWholeNumber(text);
    if (!value)
        return std::nullopt;
    if (*value > std::numeric_limits<qint32>::max())
        return 0;
    return static_cast<qint32>(negative ? -*value : *value);
}

class SendReporter : public QuietRunReporter {
public:
    explicit SendReporter(QIODevice& errors) : m_errors(errors) {}
    void AppendLog(const QString& line) override { Write(m_errors, line + u'\n'); }

private:
    QIODevice& m_errors;
};

// Prints each address's line once its check is done, so a long list shows progress.
class CheckReporter : public QuietRunReporter {
public:
    CheckReporter(QIODevice& output, const QList<AddressEntry>& addresses)
        : m_output(output), m_addresses(addresses) {}

    void SetMark(int index, int mark) override {
        m_nIndex = index;
        m_bListening = mark != 0;
        m_strFullName.clear();
    }
    void SetFullName(int, const QString& fullName) override { m_strFullName = fullName; }
    void StepProgress() override {
        if (m_nIndex < 0 || m_nIndex >= m_addresses.size())
            return;
        QString line = m_addresses[m_nIndex].m_strName + u'\t';
        if (m_bListening) {
            // A name from the network must not break the one-line-per-address form.
            QString name = m_strFullName;
            for (QChar& c : name) {
                if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                    c = u' ';
            }
            line += QStringLiteral("listening\t") + name;
        } else {
            line += QStringLiteral("not listening");
        }
        Write(m_output, line + u'\n');
        m_nIndex = -1;
    }

private:
    QIODevice& m_output;
    const QList<AddressEntry>& m_addresses;
    int m_nIndex = -1;
    bool m_bListening = false;
    QString m_strFullName;
};

int UsageError(QIODevice& errors, const QString& message) {
    Write(errors, QStringLiteral("quillpad-send: ") + message +
                      QStringLiteral("\nTry 'quillpad-send --help'.\n"));
    return kExitUsage;
}

// Reads to the end of input, or one byte past the limit.
std::optional<QByteArray> ReadBoundedInput(QIODevice& input) {
    if (!input.isOpen())
        return std::nullopt;
    QByteArray data(kMaxInputBytes + 1, Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < data.size()) {
        const qint64 count = input.read(data.data() + filled, data.size() - filled);
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
        filled += count;
    }
    data.truncate(filled);
    return data;
}

}  // namespace

std::optional<AddressEntry> ParseAddress(const QString& given, QString* error) {
    auto fail = [&](const QString& message) -> std::optional<AddressEntry> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    QStringView host = given;
    QStringView port;
    bool hasPort = false;
    if (given.startsWith(u'[')) {
        const qsizetype close = given.indexOf(u']');
        if (close < 0)
            return fail(QStringLiteral("'%1' lacks the closing bracket").arg(given));
        host = QStringView(given).mid(1, close - 1);
        const QStringView rest = QStringView(given).mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return fail(
                QStringLiteral("'%1' has text after the bracket that is no port").arg(given));
        hasPort = !rest.isEmpty();
        port = rest.mid(1);
    } else {
        const qsizetype colon = given.lastIndexOf(u':');
        if (colon >= 0 && given.indexOf(u':') != colon)
            return fail(QStringLiteral("'%1': an IPv6 address goes in brackets, as in [::1]:6001")
                            .arg(given));
        if (colon >= 0) {
            host = QStringView(given).first(colon);
            port = QStringView(given).mid(colon + 1);
            hasPort = true;
        }
    }
    if (host.isEmpty())
        return fail(QStringLiteral("'%1' names no host").arg(given));
    AddressEntry entry{given, host.toString(), static_cast<qint32>(SettingsDefaults::kPort)};
    if (hasPort) {
        const std::optional<qint32> number = ParsePort(port);
        if (!number)
            return fail(QStringLiteral("'%1': the port is not a number").arg(given));
        entry.m_nPort = *number;
    }
    return entry;
}

std::optional<Invocation> ParseArguments(const QStringList& arguments, QString* error) {
    auto fail = [&](const QString& message) -> std::optional<Invocation> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    Invocation invocation;
    bool optionsEnded = false;
    bool check = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-')) {
            QString addressError;
            const std::optional<AddressEntry> entry = ParseAddress(argument, &addressError);
            if (!entry)
                return fail(addressError);
            invocation.m_addresses.append(*entry);
        } else if (argument == QStringLiteral("--")) {
            optionsEnded = true;
        } else if (argument == QStringLiteral("-h") || argument == QStringLiteral("--help")) {
            invocation.m_mode = Invocation::Mode::Help;
            return invocation;
        } else if (argument == QStringLiteral("--check")) {
            check = true;
        } else if (argument == QStringLiteral("-m")) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("option '-m' needs the note's text"));
            if (invocation.m_text)
                return fail(QStringLiteral("option '-m' is given more than once"));
            invocation.m_text = arguments[++i];
        } else if (argument == QStringLiteral("--timeout") ||
                   argument.startsWith(QStringLiteral("--timeout="))) {
            QString value;
            if (argument.contains(u'=')) {
                value = argument.mid(argument.indexOf(u'=') + 1);
            } else {
                if (i + 1 >= arguments.size())
                    return fail(QStringLiteral("option '--timeout' needs a number of seconds"));
                value = arguments[++i];
            }
            const std::optional<qint64> seconds = ParseWholeNumber(value);
            if (!seconds)
                return fail(QStringLiteral("invalid time-out '%1': give whole seconds, 0 or more")
                                .arg(value));
            invocation.m_timeoutSeconds = static_cast<int>(std::min(*seconds, kMaxTimeoutSeconds));
        } else {
            return fail(QStringLiteral("unknown option '%1'").arg(argument));
        }
    }
    if (check && invocation.m_text)
        return fail(QStringLiteral("'-m' cannot be used with '--check'"));
    if (invocation.m_addresses.isEmpty())
        return fail(check ? QStringLiteral("no address to check")
                          : QStringLiteral("no recipient given"));
    invocation.m_mode = check ? Invocation::Mode::Check : Invocation::Mode::Send;
    return invocation;
}

int Run(const QStringList& arguments, QIODevice& input, QIODevice& output, QIODevice& errors) {
    QString error;
    const std::optional<Invocation> invocation = ParseArguments(arguments, &error);
    if (!invocation)
        return UsageError(errors, error);
    if (invocation->m_mode == Invocation::Mode::Help) {
        output.write(kHelp);
        return kExitAllReached;
    }

    QString text;
    if (invocation->m_mode == Invocation::Mode::Send) {
        if (invocation->m_text) {
            text = *invocation->m_text;
        } else {
            const std::optional<QByteArray> bytes = ReadBoundedInput(input);
            if (!bytes)
                return UsageError(errors,
                                  QStringLiteral("cannot read the note from standard input"));
            if (bytes->size() > kMaxInputBytes)
                return UsageError(
                    errors, QStringLiteral("the note on standard input is longer than 1 MiB"));
            text = QString::fromLocal8Bit(*bytes);
        }
    }

    Settings settings;
    ReadStoredSettings(settings, RegistryStore(RegistryStore::DefaultFilePath()));
    const int timeoutSeconds = invocation->m_timeoutSeconds.value_or(
        static_cast<int>(std::min<qint64>(settings.m_nSocketTimeout, kMaxTimeoutSeconds)));
    const QList<AddressEntry>& addresses = invocation->m_addresses;

    if (invocation->m_mode == Invocation::Mode::Check) {
        CheckReporter reporter(output, addresses);
        bool allAnswered = true;
        // A check run takes a limited number of addresses; a longer list goes in several runs.
        for (qsizetype first = 0; first < addresses.size(); first += NoteRuns::kMaxChecked) {
            QList<CheckTarget> targets;
            const qsizetype end =
                std::min<qsizetype>(first + NoteRuns::kMaxChecked, addresses.size());
            for (qsizetype i = first; i < end; ++i)
                targets.append(CheckTarget{static_cast<int>(i), addresses[i]});
            allAnswered = NoteRuns::RunCheck(targets, timeoutSeconds, reporter) && allAnswered;
        }
        return allAnswered ? kExitAllReached : kExitSomeUnreached;
    }

    OutgoingNote note;
    for (const AddressEntry& address : addresses)
        note.m_strRecipientField += address.m_strName + u';';
    note.m_strBody = text;
    const NoteIdentity sender = NoteIdentity::FromSettings(settings);
    if (!NoteFitsReceivers(sender, note))
        return UsageError(errors, QStringLiteral("the note is longer than a receiver accepts "
                                                 "(1 MiB, with every line ending in CR LF)"));
    SendReporter reporter(errors);
    const bool allReached = NoteRuns::RunSend(addresses, note, sender, timeoutSeconds, reporter);
    return allReached ? kExitAllReached : kExitSomeUnreached;
}

int RunWithStandardStreams(const QStringList& arguments) {
    QFile input;
    QFile output;
    QFile errors;
    input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    output.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    errors.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return Run(arguments, input, output, errors);
}

}  // namespace QuillpadSend
