// The program as a whole process: first start, orderly ends, single instance.
#include <QTcpServer>
#include <QtTest>
#include <csignal>

#include "TestSupport.h"
#include "app/AppFunctions.h"
#include "shell/RtfCodec.h"

namespace {

constexpr int kStartTimeoutMs = 15000;

QByteArray SectionHeader(const char* name) {
    return "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\" + QByteArray(name) + "]";
}

// A port on which nothing listens now.
// A store in which every section exists and the user has a name, so that start-up asks
// nothing. The Editor and Windows sections hold no values: a save at exit shows in them.
void WriteNamedStore(const TestHome& home) {
    WriteWholeFile(home.StorePath(),
                   "REGEDIT4\n\n" + SectionHeader("Editor") + "\n\n" + SectionHeader("Data") +
                       "\n\n" + SectionHeader("Communication") + "\n\"Port\"=dword:" +
                       QByteArray::number(FreePort(), 16).rightJustified(8, '0') + "\n\n" +
                       SectionHeader("FTP") + "\n\n" + SectionHeader("Profiles") +
                       "\n\"Full Name\"=\"Ann Example\"\n\n" + SectionHeader("Sound") + "\n\n" +
                       SectionHeader("Windows") + "\n\n");
}

// Start-up has loaded the settings once the recent lists are there.
bool WaitUntilLoaded(const TestHome& home, ProgramRun& run) {
    return WaitFor(
               [&] {
                   return QFile::exists(home.DataDirectory() + QStringLiteral("LS.add")) ||
                          !run.IsRunning();
               },
               kStartTimeoutMs) &&
           run.IsRunning();
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstStartWritesDefaultsAndAsksForTheName();
    void terminationSignalsEndInOrder_data();
    void terminationSignalsEndInOrder();
    void secondStartBringsTheFirstForward();
    void crashedInstanceDoesNotBlockTheNextStart();
    void separateConfigDirectoriesRunSideBySide();
    void startThroughTheAutostartEntryRemovesIt();
};

void TestStartup::firstStartWritesDefaultsAndAsksForTheName() {
    const TestHome home;
    ProgramRun run(home);
    QVERIFY(run.Start());
    // Loading stops at the name message, after the Profiles section and before Sound.
    QVERIFY(
        WaitFor([&] { return ReadWholeFile(home.StorePath()).contains(SectionHeader("Profiles")); },
                kStartTimeoutMs));
    QTest::qWait(300);
    QVERIFY(run.IsRunning());
    QVERIFY(!ReadWholeFile(home.StorePath()).contains(SectionHeader("Sound")));

    // Ending the session closes the message; loading completes, then the program ends.
    run.Signal(SIGTERM);
    QVERIFY(run.WaitForExit(5000));
    QVERIFY(run.ExitedNormally());
    QCOMPARE(run.ExitCode(), 0);

    const QByteArray store = ReadWholeFile(home.StorePath());
    for (const char* section :
         {"Editor", "Data", "Communication", "FTP", "Profiles", "Sound", "Windows"})
        QVERIFY2(store.contains(SectionHeader(section)), section);
    QVERIFY(store.contains("\"Password\"=hex(1):e6,eb,e3,c9,d9,dd,f2,fd,ff,00\n"));
    QVERIFY(store.contains("\"Always On Top\"=dword:00000001\n"));
    QCOMPARE(ReadWholeFile(home.DataDirectory() + QStringLiteral("OL.add")),
             QByteArray("On-Lines"));
    QCOMPARE(ReadWholeFile(home.DataDirectory() + QStringLiteral("LS.add")),
             QByteArray("Last Senders"));
}

void TestStartup::terminationSignalsEndInOrder_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestStartup::terminationSignalsEndInOrder() {
    QFETCH(int, signalNumber);
    const TestHome home;
    WriteNamedStore(home);
    ProgramRun run(home);
    QVERIFY(run.Start());
    QVERIFY(WaitUntilLoaded(home, run));
    QTest::qWait(200);

    QElapsedTimer clock;
    clock.start();
    run.Signal(signalNumber);
    QVERIFY(run.WaitForExit(5000));
    QVERIFY(clock.elapsed() < TestTime(5000));
    QVERIFY(run.ExitedNormally());
    QCOMPARE(run.ExitCode(), 0);

    // The values that were missing inside existing sections kept their values from before
    // loading and are written by the saves at exit.
    const QByteArray store = ReadWholeFile(home.StorePath());
    QVERIFY(store.contains(
        QByteArray(SectionHeader("Editor") +
                   "\n\"Margins\"=hex:00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00\n")));
    QVERIFY(store.contains("\n\"Always On Top\"=dword:00000000\n"));
    QVERIFY(store.contains("\n\"Main Window\"=hex:2c,00,00,00,"));
    QVERIFY(
        !store.contains("\"Socket Timeout\""));  // other sections are saved only when they change

    // The month's log was saved at the end, with the start banner.
    const QStringList logs = QDir(home.DataDirectory()).entryList({QStringLiteral("*.qpd")});
    QCOMPARE(logs.size(), 1);
    QCOMPARE(logs.first(), FormatLocalTime("%B") + QStringLiteral(".qpd"));
    RtfContent log;
    QVERIFY(ReadRtf(ReadWholeFile(home.DataDirectory() + logs.first()), log, nullptr));
    QVERIFY(log.m_strText.contains(
        QStringLiteral("\n------- Log Section Separator -------\nQuillpad started at ")));
}

void TestStartup::secondStartBringsTheFirstForward() {
    const TestHome home;
    WriteNamedStore(home);
    ProgramRun first(home);
    first.SetEnvironmentVariable(QStringLiteral("QT_LOGGING_RULES"),
                                 QStringLiteral("quillpad.instance.info=true"));
    QVERIFY(first.Start());
    QVERIFY(WaitUntilLoaded(home, first));
    QTest::qWait(200);
    const QByteArray storeBefore = ReadWholeFile(home.StorePath());
    const QDateTime modifiedBefore = QFileInfo(home.StorePath()).lastModified();

    ProgramRun second(home);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(second.Start());
    QVERIFY(second.WaitForExit(3000));
    QVERIFY2(clock.elapsed() < TestTime(1500), qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(second.ExitCode(), 0);

    QVERIFY(
        WaitFor([&] { return first.Output().contains("asked this copy to come forward"); }, 5000));
    QVERIFY(first.IsRunning());
    QCOMPARE(ReadWholeFile(home.StorePath()), storeBefore);
    QCOMPARE(QFileInfo(home.StorePath()).lastModified(), modifiedBefore);

    first.Signal(SIGTERM);
    QVERIFY(first.WaitForExit(5000));
    QCOMPARE(first.ExitCode(), 0);
}

void TestStartup::crashedInstanceDoesNotBlockTheNextStart() {
    const TestHome home;
    WriteNamedStore(home);
    {
        ProgramRun crashed(home);
        QVERIFY(crashed.Start());
        QVERIFY(WaitUntilLoaded(home, crashed));
        crashed.Signal(SIGKILL);
        QVERIFY(crashed.WaitForExit(5000));
    }
    QFile::remove(home.DataDirectory() + QStringLiteral("LS.add"));

    ProgramRun next(home);
    QVERIFY(next.Start());
    QVERIFY(WaitUntilLoaded(home, next));
    QTest::qWait(500);
    QVERIFY(next.IsRunning());

    // And it answers later starts in turn.
    ProgramRun later(home);
    QVERIFY(later.Start());
    QVERIFY(later.WaitForExit(3000));
    QCOMPARE(later.ExitCode(), 0);
    QVERIFY(next.IsRunning());

    next.Signal(SIGTERM);
    QVERIFY(next.WaitForExit(5000));
    QCOMPARE(next.ExitCode(), 0);
}

void TestStartup::separateConfigDirectoriesRunSideBySide() {
    const TestHome one;
    const TestHome two;
    WriteNamedStore(one);
    WriteNamedStore(two);
    ProgramRun first(one);
    ProgramRun second(two);
    QVERIFY(first.Start());
    QVERIFY(second.Start());
    QVERIFY(WaitUntilLoaded(one, first));
    QVERIFY(WaitUntilLoaded(two, second));
    QTest::qWait(300);
    QVERIFY(first.IsRunning());
    QVERIFY(second.IsRunning());
    for (ProgramRun* run : {&first, &second}) {
        run->Signal(SIGTERM);
        QVERIFY(run->WaitForExit(5000));
        QCOMPARE(run->ExitCode(), 0);
    }
}

void TestStartup::startThroughTheAutostartEntryRemovesIt() {
    const TestHome home;
    WriteNamedStore(home);
    const QString entries = home.ConfigHome() + QStringLiteral("/autostart/");
    const QString ours = entries + QStringLiteral("quillpad-run-once.desktop");
    const QString users = entries + QStringLiteral("quillpad.desktop");
    QDir().mkpath(entries);
    const QByteArray entry =
        "[Desktop Entry]\nType=Application\nName=Quillpad\nExec=" QUILLPAD_BINARY
        " --autostart\nX-Quillpad-RunOnce=true\n";
    WriteWholeFile(users, "[Desktop Entry]\nType=Application\nName=Quillpad\nExec=quillpad\n");

    // A start of the user's own (not through the entry) leaves the entry for the next logon.
    for (const bool throughEntry : {false, true}) {
        WriteWholeFile(ours, entry);
        ProgramRun run(home,
                       throughEntry ? QStringList{QStringLiteral("--autostart")} : QStringList());
        QVERIFY(run.Start());
        QVERIFY(WaitUntilLoaded(home, run));
        if (throughEntry)
            QVERIFY(WaitFor([&] { return !QFile::exists(ours); }, 200));
        else
            QTest::qWait(TestTime(200));
        QCOMPARE(QFile::exists(ours), !throughEntry);
        QVERIFY(QFile::exists(users));  // the user's own entry is never the program's to remove
        run.Signal(SIGTERM);
        QVERIFY(run.WaitForExit(5000));
    }
    QVERIFY(!QFile::exists(ours));  // and an ordinary end writes none
}

QUILLPAD_TEST_MAIN(TestStartup)
#include "TestStartup.moc"
