// `quillpad --print FILE`: in the test process with a PDF file as the printer, and as the
// program itself on a machine without printers.
#include <QPrinter>
#include <QTextDocument>
#include <QTextStream>
#include <QtTest>
#include <csignal>

#include "TestSupport.h"
#include "app/Settings.h"
#include "platform/RegistryStore.h"
#include "shell/CQuillpadDoc.h"
#include "shell/PrintRun.h"

namespace {

constexpr int kRunTimeoutMs = 15000;

int PageCount(const QByteArray& pdf) {
    return static_cast<int>(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") +
                            pdf.count("/Type /Page "));
}

// A log of lineCount numbered lines, written as the program writes logs.
void WriteLog(const QString& path, int lineCount) {
    CQuillpadDoc doc;
    QStringList lines;
    for (int i = 0; i < lineCount; ++i)
        lines.append(QStringLiteral("logged line %1").arg(i));
    doc.Document()->setPlainText(lines.join(u'\n'));
    QVERIFY(doc.SaveTo(path, nullptr));
}

void WriteMargins(const QString& storePath, const QMargins& twips) {
    Settings settings;
    settings.m_rcMargins = twips;
    const RegistryStore store(storePath);
    QVERIFY(CreateSettingsKey(store, SectionKeyPath("Editor")));
    QVERIFY(SaveSettings(settings, store, SettingsSection::Editor));
}

// Prints into a PDF file and remembers which printer it was asked for.
struct PdfPrinters {
    explicit PdfPrinters(const QString& pdf, const QString& refusal = QString())
        : m_strPdf(pdf), m_strRefusal(refusal) {}

    QString m_strPdf;
    QStringList m_asked;
    QString m_strRefusal;  // when set: there is no printer, for this reason

    PrintRun::PrinterSource Source() {
        return [this](const QString& name, QString* error) -> std::unique_ptr<QPrinter> {
            m_asked.append(name);
            if (!m_strRefusal.isEmpty()) {
                *error = m_strRefusal;
                return nullptr;
            }
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(m_strPdf);
            return printer;
        };
    }
};

struct RunResult {
    int m_nStatus = -1;
    QString m_strErrors;
};

RunResult RunPrint(const QStringList& arguments, const QString& store, PdfPrinters& printers) {
    RunResult result;
    QTextStream errors(&result.m_strErrors);
    result.m_nStatus = PrintRun::Run(arguments, store, printers.Source(), errors);
    return result;
}

}  // namespace

class TestPrintRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void printRunIsRecognised_data();
    void printRunIsRecognised();
    void wrongArgumentsAreUsageErrors_data();
    void wrongArgumentsAreUsageErrors();
    void printsWithTheStoredMarginsAndWritesNothing();
    void namedPrinterIsTheOneAsked();
    void noPrinterFailsWithItsReason();
    void unreadableFileFailsBeforeAnyPrinter();
    void printerThatFailsIsNotASuccess();
    void damagedLogIsPrintedAndReported();
    void programWithoutPrintersLeavesTheRunningCopyAlone();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString Path(const char* name) const { return m_dir->filePath(QString::fromLatin1(name)); }
    // The files in the test's directory, sorted by name.
    QStringList Files() const {
        return QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

void TestPrintRun::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestPrintRun::printRunIsRecognised_data() {
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<bool>("requested");
    QTest::newRow("a log to open") << QByteArrayList{"quillpad", "May.qpd"} << false;
    QTest::newRow("nothing") << QByteArrayList{"quillpad"} << false;
    QTest::newRow("--print FILE") << QByteArrayList{"quillpad", "--print", "May.qpd"} << true;
    QTest::newRow("--print=FILE") << QByteArrayList{"quillpad", "--print=May.qpd"} << true;
    QTest::newRow("after Qt's options")
        << QByteArrayList{"quillpad", "-platform", "offscreen", "--print", "May.qpd"} << true;
    QTest::newRow("--printer alone") << QByteArrayList{"quillpad", "--printer", "lp"} << true;
    QTest::newRow("a word that starts alike") << QByteArrayList{"quillpad", "--printout"} << false;
    QTest::newRow("the program's name only") << QByteArrayList{"--print"} << false;
}

void TestPrintRun::printRunIsRecognised() {
    QFETCH(QByteArrayList, arguments);
    QFETCH(bool, requested);
    std::vector<const char*> argv;
    for (const QByteArray& argument : std::as_const(arguments))
        argv.push_back(argument.constData());
    QCOMPARE(PrintRun::IsRequested(static_cast<int>(argv.size()), argv.data()), requested);
}

void TestPrintRun::wrongArgumentsAreUsageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no file") << QStringList{QStringLiteral("--print")};
    QTest::newRow("empty file") << QStringList{QStringLiteral("--print=")};
    QTest::newRow("an option for the file") << QStringList{
        QStringLiteral("--print"), QStringLiteral("--printer"), QStringLiteral("lp")};
    QTest::newRow("two files") << QStringList{QStringLiteral("--print"), QStringLiteral("a.qpd"),
                                              QStringLiteral("b.qpd")};
    QTest::newRow("--print twice")
        << QStringList{QStringLiteral("--print=a.qpd"), QStringLiteral("--print=b.qpd")};
    QTest::newRow("printer without file")
        << QStringList{QStringLiteral("--printer"), QStringLiteral("lp")};
    QTest::newRow("printer without name") << QStringList{
        QStringLiteral("--print"), QStringLiteral("a.qpd"), QStringLiteral("--printer")};
    QTest::newRow("unknown option") << QStringList{
        QStringLiteral("--print"), QStringLiteral("a.qpd"), QStringLiteral("--copies=2")};
}

void TestPrintRun::wrongArgumentsAreUsageErrors() {
    QFETCH(QStringList, arguments);
    WriteLog(Path("a.qpd"), 3);
    PdfPrinters printers(Path("out.pdf"));
    const RunResult result = RunPrint(arguments, Path("registry.reg"), printers);
    QCOMPARE(result.m_nStatus, PrintRun::kExitUsage);
    QVERIFY2(result.m_strErrors.contains(QStringLiteral("Usage: quillpad --print FILE")),
             qPrintable(result.m_strErrors));
    QVERIFY(printers.m_asked.isEmpty());
    QVERIFY(!QFile::exists(Path("out.pdf")));
}

void TestPrintRun::printsWithTheStoredMarginsAndWritesNothing() {
    WriteLog(Path("May.qpd"), 300);
    const QString store = Path("registry.reg");

    // No store yet: the default margins, and no store is made.
    PdfPrinters narrow(Path("narrow.pdf"));
    RunResult result = RunPrint({QStringLiteral("--print"), Path("May.qpd")}, store, narrow);
    QCOMPARE(result.m_nStatus, PrintRun::kExitPrinted);
    QVERIFY2(result.m_strErrors.isEmpty(), qPrintable(result.m_strErrors));
    QCOMPARE(Files(), (QStringList{QStringLiteral("May.qpd"), QStringLiteral("narrow.pdf")}));
    const QByteArray narrowPdf = ReadWholeFile(Path("narrow.pdf"));
    QVERIFY(narrowPdf.startsWith("%PDF"));
    QVERIFY(PageCount(narrowPdf) >= 2);

    // Wide margins set in Page Setup leave less room on each page: more pages. The store is
    // only read.
    WriteMargins(store, QMargins(2880, 4320, 2880, 4320));
    const QByteArray storeBefore = ReadWholeFile(store);
    const QDateTime storeTime = QFileInfo(store).lastModified();
    const QStringList filesBefore = Files();
    PdfPrinters wide(Path("wide.pdf"));
    result = RunPrint({QStringLiteral("--print=") + Path("May.qpd")}, store, wide);
    QCOMPARE(result.m_nStatus, PrintRun::kExitPrinted);
    const int widePages = PageCount(ReadWholeFile(Path("wide.pdf")));
    QVERIFY2(widePages > PageCount(narrowPdf),
             qPrintable(QStringLiteral("%1 pages with wide margins, %2 with narrow ones")
                            .arg(widePages)
                            .arg(PageCount(narrowPdf))));
    QCOMPARE(ReadWholeFile(store), storeBefore);
    QCOMPARE(QFileInfo(store).lastModified(), storeTime);

    // Nothing but the printout came into being.
    QCOMPARE(Files(), filesBefore + QStringList{QStringLiteral("wide.pdf")});
}

void TestPrintRun::namedPrinterIsTheOneAsked() {
    WriteLog(Path("May.qpd"), 3);
    PdfPrinters printers(Path("out.pdf"));
    QCOMPARE(RunPrint({QStringLiteral("--printer"), QStringLiteral("office-2"),
                       QStringLiteral("--print"), Path("May.qpd")},
                      Path("registry.reg"), printers)
                 .m_nStatus,
             PrintRun::kExitPrinted);
    QCOMPARE(RunPrint({QStringLiteral("--print"), Path("May.qpd")}, Path("registry.reg"), printers)
                 .m_nStatus,
             PrintRun::kExitPrinted);
    QCOMPARE(printers.m_asked, (QStringList{QStringLiteral("office-2"), QString()}));
}

void TestPrintRun::noPrinterFailsWithItsReason() {
    WriteLog(Path("May.qpd"), 3);
    PdfPrinters printers(Path("out.pdf"), QStringLiteral("No default printer is set up."));
    const RunResult result =
        RunPrint({QStringLiteral("--print"), Path("May.qpd")}, Path("registry.reg"), printers);
    QCOMPARE(result.m_nStatus, PrintRun::kExitFailed);
    QVERIFY2(result.m_strErrors.contains(Path("May.qpd")), qPrintable(result.m_strErrors));
    QVERIFY2(result.m_strErrors.contains(QStringLiteral("No default printer is set up.")),
             qPrintable(result.m_strErrors));
    QVERIFY(!QFile::exists(Path("out.pdf")));
}

void TestPrintRun::unreadableFileFailsBeforeAnyPrinter() {
    PdfPrinters printers(Path("out.pdf"));
    const RunResult result =
        RunPrint({QStringLiteral("--print"), Path("missing.qpd")}, Path("registry.reg"), printers);
    QCOMPARE(result.m_nStatus, PrintRun::kExitFailed);
    QVERIFY2(result.m_strErrors.contains(QStringLiteral("Cannot open ") + Path("missing.qpd")),
             qPrintable(result.m_strErrors));
    QVERIFY(printers.m_asked.isEmpty());
    QVERIFY(!QFile::exists(Path("out.pdf")));
}

void TestPrintRun::printerThatFailsIsNotASuccess() {
    WriteLog(Path("May.qpd"), 3);
    // The printer's output cannot be opened.
    PdfPrinters printers(Path("gone/out.pdf"));
    const RunResult result =
        RunPrint({QStringLiteral("--print"), Path("May.qpd")}, Path("registry.reg"), printers);
    QCOMPARE(result.m_nStatus, PrintRun::kExitFailed);
    QVERIFY2(result.m_strErrors.contains(QStringLiteral("Printing ") + Path("May.qpd") +
                                         QStringLiteral(" failed")),
             qPrintable(result.m_strErrors));
}

void TestPrintRun::damagedLogIsPrintedAndReported() {
    const QString log = Path("May.qpd");
    QVERIFY(QFile::copy(
        QStringLiteral(QUILLPAD_TEST_DATA "/rtf/damaged/damaged-missing-close-brace.rtf"), log));
    const QByteArray before = ReadWholeFile(log);
    PdfPrinters printers(Path("out.pdf"));
    const RunResult result =
        RunPrint({QStringLiteral("--print"), log}, Path("registry.reg"), printers);
    // Printed as far as it could be read, but not reported as a whole success.
    QCOMPARE(result.m_nStatus, PrintRun::kExitFailed);
    QVERIFY2(result.m_strErrors.contains(QStringLiteral("damaged")),
             qPrintable(result.m_strErrors));
    QVERIFY(ReadWholeFile(Path("out.pdf")).startsWith("%PDF"));
    // A run that never saves keeps no copy of the damaged file beside it.
    QVERIFY(!QFile::exists(log + QStringLiteral(".bad")));
    QCOMPARE(ReadWholeFile(log), before);
}

void TestPrintRun::programWithoutPrintersLeavesTheRunningCopyAlone() {
    const TestHome home;
    const QString log = home.Path() + QStringLiteral("/May.qpd");
    WriteLog(log, 3);
    // No printing system answers, and there is no display.
    const auto withoutPrinters = [&](ProgramRun& run) {
        run.SetEnvironmentVariable(QStringLiteral("CUPS_SERVER"),
                                   home.Path() + QStringLiteral("/no-cups.sock"));
        run.SetEnvironmentVariable(QStringLiteral("PRINTER"), QString());
        run.SetEnvironmentVariable(QStringLiteral("LPDEST"), QString());
        run.SetEnvironmentVariable(QStringLiteral("QT_QPA_PLATFORM"), QString());
        run.SetEnvironmentVariable(QStringLiteral("DISPLAY"), QString());
        run.SetEnvironmentVariable(QStringLiteral("WAYLAND_DISPLAY"), QString());
    };

    // Alone: a clear message and status 1; no settings, data directory or lock come into being.
    {
        ProgramRun print(home, {QStringLiteral("--print"), log});
        withoutPrinters(print);
        QVERIFY(print.Start());
        QVERIFY(print.WaitForExit(kRunTimeoutMs));
        QVERIFY(print.ExitedNormally());
        QCOMPARE(print.ExitCode(), PrintRun::kExitFailed);
        QVERIFY2(print.Output().contains("No default printer is set up"),
                 print.Output().constData());
        QVERIFY(!QFileInfo::exists(home.ConfigHome() + QStringLiteral("/Vexor")));
        QVERIFY(!QFileInfo::exists(home.DataHome() + QStringLiteral("/Vexor")));
    }

    // Beside a running copy: the print run does not hand itself to that copy, and leaves it
    // and its settings as they were.
    WriteWholeFile(home.StorePath(),
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Communication]"
                   "\n\"Port\"=" +
                       StoreDword(FreePort()) +
                       "\n\"Broadcast\"=dword:00000000\n\n"
                       "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]\n"
                       "\"Full Name\"=\"Ann Example\"\n");
    ProgramRun first(home);
    first.SetEnvironmentVariable(QStringLiteral("QT_LOGGING_RULES"),
                                 QStringLiteral("quillpad.instance.info=true"));
    QVERIFY(first.Start());
    QVERIFY(WaitFor(
        [&] {
            return QFile::exists(home.DataDirectory() + QStringLiteral("LS.add")) ||
                   !first.IsRunning();
        },
        kRunTimeoutMs));
    QVERIFY(first.IsRunning());
    QTest::qWait(200);
    const QByteArray storeBefore = ReadWholeFile(home.StorePath());

    ProgramRun print(home, {QStringLiteral("--print"), log});
    withoutPrinters(print);
    QVERIFY(print.Start());
    QVERIFY(print.WaitForExit(kRunTimeoutMs));
    QCOMPARE(print.ExitCode(), PrintRun::kExitFailed);
    QVERIFY2(print.Output().contains("No default printer is set up"), print.Output().constData());
    QVERIFY(!first.Output().contains("asked this copy to come forward"));
    QCOMPARE(ReadWholeFile(home.StorePath()), storeBefore);

    // The running copy still holds the single-instance guard: an ordinary start goes to it.
    ProgramRun second(home);
    QVERIFY(second.Start());
    QVERIFY(second.WaitForExit(kRunTimeoutMs));
    QCOMPARE(second.ExitCode(), 0);
    QVERIFY(
        WaitFor([&] { return first.Output().contains("asked this copy to come forward"); }, 5000));
    QVERIFY(first.IsRunning());

    first.Signal(SIGTERM);
    QVERIFY(first.WaitForExit(kRunTimeoutMs));
    QCOMPARE(first.ExitCode(), 0);
}

QUILLPAD_TEST_GUI_MAIN(TestPrintRun)
#include "TestPrintRun.moc"
