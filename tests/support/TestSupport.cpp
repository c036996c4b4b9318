#include "TestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <csignal>

TestHome::TestHome() : m_path(m_dir.path()) {
    for (const QString& dir : {ConfigHome(), DataHome(), RuntimeDir()})
        QDir().mkpath(dir);
    QFile::setPermissions(RuntimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString TestHome::StorePath() const {
    return ConfigHome() + QStringLiteral("/Vexor/Quillpad/registry.reg");
}

QString TestHome::DataDirectory() const {
    return DataHome() + QStringLiteral("/Vexor/Quillpad/Data/");
}

QProcessEnvironment TestHome::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_path);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), ConfigHome());
    env.insert(QStringLiteral("XDG_DATA_HOME"), DataHome());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), RuntimeDir());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), NoSessionBus());
    return env;
}

QString TestHome::NoSessionBus() const {
    return QStringLiteral("unix:path=") + RuntimeDir() + QStringLiteral("/no-session-bus");
}

void TestHome::Activate() const {
    qputenv("HOME", QFile::encodeName(m_path));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(ConfigHome()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(DataHome()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(RuntimeDir()));
    qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName(NoSessionBus()));
}

const TestHome& CurrentTestHome() {
    static const TestHome home;
    static const bool activated = (home.Activate(), true);
    Q_UNUSED(activated);
    return home;
}

int TimeScale() {
    static const int scale = [] {
        bool ok = false;
        const int value = qEnvironmentVariableIntValue("QUILLPAD_TEST_TIME_SCALE", &ok);
        return ok && value >= 1 ? value : 1;
    }();
    return scale;
}

bool WaitFor(const std::function<bool()>& predicate, int timeoutMs) {
    const QDeadlineTimer deadline(TestTime(timeoutMs));
    while (!predicate()) {
        if (deadline.hasExpired())
            return predicate();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

int RunServingEvents(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& environment, int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!WaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void WriteWholeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray StoreDword(quint32 value) {
    return "dword:" + QByteArray::number(value, 16).rightJustified(8, '0');
}

ProgramRun::ProgramRun(const TestHome& home, const QStringList& arguments)
    : m_process(new QProcess), m_arguments(arguments) {
    m_process->setProcessEnvironment(home.Environment());
    m_process->setProcessChannelMode(QProcess::MergedChannels);
}

ProgramRun::~ProgramRun() {
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    delete m_process;
}

void ProgramRun::SetEnvironmentVariable(const QString& name, const QString& value) {
    QProcessEnvironment env = m_process->processEnvironment();
    env.insert(name, value);
    m_process->setProcessEnvironment(env);
}

bool ProgramRun::Start() {
    m_process->start(QStringLiteral(QUILLPAD_BINARY), m_arguments);
    return m_process->waitForStarted(TestTime(10000));
}

void ProgramRun::Signal(int signalNumber) {
    if (m_process->state() == QProcess::Running)
        ::kill(static_cast<pid_t>(m_process->processId()), signalNumber);
}

bool ProgramRun::WaitForExit(int timeoutMs) {
    if (m_process->state() == QProcess::NotRunning)
        return true;
    return m_process->waitForFinished(TestTime(timeoutMs));
}

bool ProgramRun::IsRunning() const {
    return m_process->state() != QProcess::NotRunning;
}

int ProgramRun::ExitCode() const {
    return m_process->exitCode();
}

bool ProgramRun::ExitedNormally() const {
    return m_process->exitStatus() == QProcess::NormalExit;
}

QByteArray ProgramRun::Output() {
    m_output += m_process->readAll();
    return m_output;
}

HangingListener::HangingListener() {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 0) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_nPort = ntohs(address.sin_port);
    for (int i = 0; i < 4; ++i) {
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        m_fillers.append(filler);
    }
    QThread::msleep(100);  // the fillers' handshakes fill the queue
}

HangingListener::~HangingListener() {
    for (int fd : std::as_const(m_fillers))
        ::close(fd);
    if (m_listener >= 0)
        ::close(m_listener);
}
