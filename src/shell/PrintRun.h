#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QPrinter;
class QTextStream;

// `quillpad --print FILE [--printer NAME]`: prints one log and ends. A print run is a separate
// short program: it neither asks a running copy nor takes the single-instance guard, opens no
// window and no socket, and only reads the settings store (for the print margins).
namespace PrintRun {

constexpr int kExitPrinted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Request {
    QString m_strFile;
    QString m_strPrinter;  // empty: the default printer
};

// True when the raw command line asks for a print run; looked at before any Qt object exists.
bool IsRequested(int argc, const char* const* argv);

// The arguments after the program name (Qt's own options already taken out).
std::optional<Request> ParseArguments(const QStringList& arguments, QString* error);

// The printer a run prints on: the one named, else the default printer. Null, with the reason
// in error, when there is no such printer.
using PrinterSource = std::function<std::unique_ptr<QPrinter>(const QString& name, QString* error)>;
std::unique_ptr<QPrinter> SystemPrinter(const QString& name, QString* error);

// Prints the file the arguments name, laid out as its log window shows it, with the print
// margins of the store at storeFilePath. Messages go to errors; returns the exit status.
int Run(const QStringList& arguments, const QString& storeFilePath, const PrinterSource& printers,
        QTextStream& errors);

// The whole print run, with an application object of its own. Without a display it runs on
// the offscreen platform, so that it also works from scripts and over ssh.
int Main(int argc, char** argv);

}  // namespace PrintRun
