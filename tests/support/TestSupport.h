#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <functional>

// A private HOME with its own XDG directories, set in the environment of this process, so that
// no test reads or writes a real user's settings or data. Created before the application
// object, kept for the life of the test process.
class TestHome {
public:
    TestHome();
    const QString& Path() const { return m_path; }
    QString ConfigHome() const { return m_path + QStringLiteral("/.config"); }
    QString DataHome() const { return m_path + QStringLiteral("/.local/share"); }
    QString RuntimeDir() const { return m_path + QStringLiteral("/run"); }
    // The settings store and the data directory the program uses by default in this HOME.
    QString StorePath() const;
    QString DataDirectory() const;
    // The environment of this HOME, for a program started by a test.
    QProcessEnvironment Environment() const;
    // A session bus address where no bus is: a test never reaches the user's desktop session
    // (a note received in a test must not pop up there), unless it sets a bus of its own.
    QString NoSessionBus() const;

    // Makes the process use this HOME (done once at start for the test's own HOME).
    void Activate() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// The HOME that the running test process was given at start.
const TestHome& CurrentTestHome();

// How many times longer than in an ordinary build the tests' time bounds are:
// QUILLPAD_TEST_TIME_SCALE, set for the sanitized build, whose code runs several times slower;
// 1 when unset.
int TimeScale();
// A time bound of a test, in milliseconds, stretched by TimeScale().
inline int TestTime(int ms) {
    return ms * TimeScale();
}

// Runs the event loop until predicate holds or TestTime(timeoutMs) has passed; returns the
// predicate.
bool WaitFor(const std::function<bool()>& predicate, int timeoutMs);

// Runs program to its end while this thread keeps serving its events (a bus, a listening
// copy); its exit code, or -1 when it crashed or ran past timeoutMs (then it is killed).
int RunServingEvents(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& environment, int timeoutMs);

QByteArray ReadWholeFile(const QString& path);
void WriteWholeFile(const QString& path, const QByteArray& data);

// A loopback TCP port that nothing listens on at the moment of asking.
quint16 FreePort();
// A loopback port whose listener has a full queue and never accepts: a connect to it gets no
// answer and hangs until its own time limit.
class HangingListener {
public:
    HangingListener();
    ~HangingListener();
    HangingListener(const HangingListener&) = delete;
    HangingListener& operator=(const HangingListener&) = delete;
    quint16 Port() const { return m_nPort; }

private:
    int m_listener = -1;
    QList<int> m_fillers;
    quint16 m_nPort = 0;
};

// A number as the settings store writes it: "dword:0000177f".
QByteArray StoreDword(quint32 value);

// Sets up a private HOME, then the application object, then runs the test class.
#define QUILLPAD_TEST_MAIN_IMPL(TestObject, AppClass) \
    int main(int argc, char** argv) {                 \
        CurrentTestHome();                            \
        AppClass app(argc, argv);                     \
        app.setAttribute(Qt::AA_Use96Dpi, true);      \
        TestObject tc;                                \
        QTEST_SET_MAIN_SOURCE_PATH                    \
        return QTest::qExec(&tc, argc, argv);         \
    }

#define QUILLPAD_TEST_MAIN(TestObject) QUILLPAD_TEST_MAIN_IMPL(TestObject, QCoreApplication)
#define QUILLPAD_TEST_GUI_MAIN(TestObject) QUILLPAD_TEST_MAIN_IMPL(TestObject, QApplication)

// The program itself, started by a test in a private HOME with the offscreen platform.
class ProgramRun {
public:
    explicit ProgramRun(const TestHome& home, const QStringList& arguments = {});
    ~ProgramRun();  // kills the program if it still runs

    void SetEnvironmentVariable(const QString& name, const QString& value);
    bool Start();
    void Signal(int signalNumber);
    // True when the program ended within TestTime(timeoutMs).
    bool WaitForExit(int timeoutMs);
    bool IsRunning() const;
    int ExitCode() const;
    bool ExitedNormally() const;
    // Everything the program wrote to its standard output and error so far.
    QByteArray Output();

private:
    class QProcess* m_process;
    QStringList m_arguments;
    QByteArray m_output;
};
