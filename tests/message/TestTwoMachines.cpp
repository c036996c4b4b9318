// Two copies of the program as two machines on a plain Ethernet link: network and host-name
// namespaces of the test's own, joined by a veth pair, with real broadcasts between them.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <csignal>

#include "TestSupport.h"

namespace {

constexpr int kProcessTimeoutMs = 20000;

// Runs a tool to its end; true when it succeeded.
bool Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kProcessTimeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// ip with its arguments given as one line.
bool Ip(const QString& arguments) {
    static const QString ip = QStandardPaths::findExecutable(
        QStringLiteral("ip"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                               QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    return !ip.isEmpty() && Run(ip, arguments.split(u' '));
}

// The network and host-name namespaces of this thread, held open.
struct Namespaces {
    int net = -1;
    int uts = -1;

    bool Open() {
        net = ::open("/proc/thread-self/ns/net", O_RDONLY);
        uts = ::open("/proc/thread-self/ns/uts", O_RDONLY);
        return net >= 0 && uts >= 0;
    }
    bool Enter() const {
        return ::setns(net, CLONE_NEWNET) == 0 && ::setns(uts, CLONE_NEWUTS) == 0;
    }
    ~Namespaces() {
        for (int fd : {net, uts}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
};

QByteArray Store(const QByteArray& fullName) {
    const QByteArray key = "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\";
    return "REGEDIT4\n\n" + key + "Profiles]\n\"Full Name\"=\"" + fullName + "\"\n\n" + key +
           "Communication]\n\"Port\"=" + StoreDword(6001) +
           "\n\"Broadcast Port\"=" + StoreDword(6002) + "\n\"Broadcast\"=" + StoreDword(0) + "\n";
}

}  // namespace

class TestTwoMachines : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void announcerIsListedByItsAddressWhenItsNameResolvesNowhere();
};

void TestTwoMachines::announcerIsListedByItsAddressWhenItsNameResolvesNowhere() {
    // Anna's machine: this thread, in namespaces of its own.
    if (::unshare(CLONE_NEWNET | CLONE_NEWUTS) != 0)
        QSKIP("no namespaces of the test's own here");
    const QByteArray annaHost = "anna-box";
    QVERIFY(::sethostname(annaHost.constData(), static_cast<size_t>(annaHost.size())) == 0);
    QVERIFY(Ip(QStringLiteral("link set lo up")));
    Namespaces anna;
    QVERIFY(anna.Open());

    // Bert's machine, with a host name longer than 15 bytes that resolves nowhere.
    QVERIFY(::unshare(CLONE_NEWNET | CLONE_NEWUTS) == 0);
    const QByteArray bertHost = "bert-workstation-2";
    QVERIFY(::sethostname(bertHost.constData(), static_cast<size_t>(bertHost.size())) == 0);
    Namespaces bert;
    QVERIFY(bert.Open());
    // Announcements go to 255.255.255.255: the link is the only way out.
    const auto setUp = [](const QString& device, const QString& address) {
        return Ip(QStringLiteral("link set lo up")) &&
               Ip(QStringLiteral("address add %1 dev %2").arg(address, device)) &&
               Ip(QStringLiteral("link set %1 up").arg(device)) &&
               Ip(QStringLiteral("route add 255.255.255.255/32 dev %1").arg(device));
    };

    // The cable.
    QVERIFY(anna.Enter());
    QVERIFY(Ip(QStringLiteral("link add qpv0 type veth peer name qpv1")));
    QVERIFY(Ip(QStringLiteral("link set qpv1 netns /proc/%1/fd/%2").arg(::getpid()).arg(bert.net)));
    QVERIFY(setUp(QStringLiteral("qpv0"), QStringLiteral("10.213.0.1/24")));
    QVERIFY(bert.Enter());
    QVERIFY(setUp(QStringLiteral("qpv1"), QStringLiteral("10.213.0.2/24")));
    QVERIFY(anna.Enter());

    const TestHome annaHome;
    const TestHome bertHome;
    WriteWholeFile(annaHome.StorePath(), Store("Anna Example"));
    WriteWholeFile(bertHome.StorePath(), Store("Bert Example"));
    const auto check = [&annaHome](const QString& address, QByteArray* output) {
        QProcess send;
        send.setProcessEnvironment(annaHome.Environment());
        send.start(QStringLiteral(QUILLPAD_SEND_BINARY), {QStringLiteral("--check"), address});
        if (!send.waitForFinished(kProcessTimeoutMs)) {
            send.kill();
            send.waitForFinished(5000);
            return false;
        }
        *output = send.readAllStandardOutput();
        return send.exitCode() == 0;
    };

    // Anna's copy listens before Bert's starts, so that it hears Bert's start announcement.
    ProgramRun annaCopy(annaHome);
    QVERIFY(annaCopy.Start());
    QByteArray output;
    QVERIFY2(WaitFor([&] { return check(QStringLiteral("127.0.0.1"), &output); }, 15000),
             annaCopy.Output().constData());
    QVERIFY(bert.Enter());
    ProgramRun bertCopy(bertHome);
    const bool bertStarted = bertCopy.Start();
    QVERIFY(anna.Enter());
    QVERIFY(bertStarted);

    const QString onLines = annaHome.DataDirectory() + QStringLiteral("OL.add");
    QVERIFY2(WaitFor([&] { return ReadWholeFile(onLines).contains("\r\nBert Example;"); }, 15000),
             ReadWholeFile(onLines).constData());
    // Anna heard herself too: her own start announcement came back over her link.
    QCOMPARE(ReadWholeFile(onLines), QByteArray("On-Lines\r\nBert Example;10.213.0.2;6001;"
                                                "\r\nAnna Example;10.213.0.1;6001;"));
    // The entry reaches Bert; his host name does not.
    QVERIFY(check(QStringLiteral("10.213.0.2"), &output));
    QCOMPARE(output, QByteArray("10.213.0.2\tlistening\tBert Example\n"));
    QVERIFY(!check(QString::fromLatin1(bertHost), &output));

    annaCopy.Signal(SIGTERM);
    bertCopy.Signal(SIGTERM);
    QVERIFY(annaCopy.WaitForExit(10000));
    QVERIFY(bertCopy.WaitForExit(10000));
}

QUILLPAD_TEST_MAIN(TestTwoMachines)
#include "TestTwoMachines.moc"
