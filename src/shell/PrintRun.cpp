#include "shell/PrintRun.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QTextStream>

#include "app/Settings.h"
#include "platform/RegistryStore.h"
#include "shell/CQuillpadDoc.h"
#include "shell/CQuillpadView.h"
#include "shell/LogPrinter.h"

namespace PrintRun {

namespace {

// The texts of a print run, for translation.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(PrintRun)
};

QString Usage() {
    return Text::tr("Usage: quillpad --print FILE [--printer NAME]");
}

bool IsOption(QStringView argument, QStringView name) {
    return argument == name || (argument.startsWith(name) && argument.size() > name.size() &&
                                argument.at(name.size()) == u'=');
}

// The value of --name VALUE or --name=VALUE, empty when it is missing; i moves past it.
QString OptionValue(const QStringList& arguments, qsizetype& i, QStringView name) {
    const QString& argument = arguments.at(i);
    if (argument.size() > name.size())
        return argument.mid(name.size() + 1);
    // An option in place of the value means that the value was left out.
    if (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(u'-'))
        return QString();
    return arguments.at(++i);
}

}  // namespace

bool IsRequested(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (IsOption(argument, u"--print") || IsOption(argument, u"--printer"))
            return true;
    }
    return false;
}

std::optional<Request> ParseArguments(const QStringList& arguments, QString* error) {
    Request request;
    bool bFileGiven = false;
    bool bPrinterGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (IsOption(argument, u"--print")) {
            if (bFileGiven) {
                *error = Text::tr("Only one file can be printed at a time.");
                return std::nullopt;
            }
            request.m_strFile = OptionValue(arguments, i, u"--print");
            bFileGiven = true;
        } else if (IsOption(argument, u"--printer")) {
            if (bPrinterGiven) {
                *error = Text::tr("Only one printer can be named.");
                return std::nullopt;
            }
            request.m_strPrinter = OptionValue(arguments, i, u"--printer");
            bPrinterGiven = true;
        } else if (argument.startsWith(u'-')) {
            *error = Text::tr("Unknown option %1.").arg(argument);
            return std::nullopt;
        } else {
            *error = Text::tr("Only one file can be printed at a time.");
            return std::nullopt;
        }
    }
    if (request.m_strFile.isEmpty()) {
        *error = Text::tr("--print needs the file to print.");
        return std::nullopt;
    }
    if (bPrinterGiven && request.m_strPrinter.isEmpty()) {
        *error = Text::tr("--printer needs the name of a printer.");
        return std::nullopt;
    }
    return request;
}

std::unique_ptr<QPrinter> SystemPrinter(const QString& name, QString* error) {
    const QPrinterInfo info =
        name.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(name);
    if (info.isNull()) {
        *error = name.isEmpty()
                     ? Text::tr("No default printer is set up (name one with --printer).")
                     : Text::tr("There is no printer named %1.").arg(name);
        return nullptr;
    }
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

int Run(const QStringList& arguments, const QString& storeFilePath, const PrinterSource& printers,
        QTextStream& errors) {
    QString error;
    const std::optional<Request> request = ParseArguments(arguments, &error);
    if (!request) {
        errors << "quillpad: " << error << '\n' << Usage() << Qt::endl;
        return kExitUsage;
    }
    const QString shownPath = QDir::toNativeSeparators(request->m_strFile);

    Settings settings;
    ReadStoredSettings(settings, RegistryStore(storeFilePath));

    // The file is only looked at: a damaged one is not copied aside, as nothing is saved.
    CQuillpadDoc doc;
    const CQuillpadDoc::LoadResult loaded = doc.Load(request->m_strFile, &error, false);
    if (loaded == CQuillpadDoc::LoadResult::Failed) {
        errors << "quillpad: " << Text::tr("Cannot open %1: %2").arg(shownPath, error) << Qt::endl;
        return kExitFailed;
    }
    const QString damage = loaded == CQuillpadDoc::LoadResult::Damaged ? error : QString();

    const std::unique_ptr<QPrinter> printer = printers(request->m_strPrinter, &error);
    if (!printer) {
        errors << "quillpad: " << Text::tr("Cannot print %1: %2").arg(shownPath, error) << Qt::endl;
        return kExitFailed;
    }
    printer->setDocName(doc.Title());

    // On paper as in its window: the whole log in the log's format.
    doc.Document()->setDefaultFont(CQuillpadView::LogCharFormat().font());
    CQuillpadView::ApplyLogFormat(*doc.Document());
    LogPrinter::PrintLog(*doc.Document(), *printer, settings.m_rcMargins);
    if (printer->printerState() == QPrinter::Error) {
        errors << "quillpad: "
               << Text::tr("Printing %1 failed: the printer did not take it.").arg(shownPath)
               << Qt::endl;
        return kExitFailed;
    }
    if (!damage.isEmpty()) {
        errors << "quillpad: "
               << Text::tr("%1 is damaged (%2): only the part that could be read was printed.")
                      .arg(shownPath, damage)
               << Qt::endl;
        return kExitFailed;
    }
    return kExitPrinted;
}

int Main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream errors(stderr);
    return Run(QApplication::arguments().mid(1), RegistryStore::DefaultFilePath(), &SystemPrinter,
               errors);
}

}  // namespace PrintRun
