// The program as a process, receiving from quillpad-send and surviving connections that send
// garbage, stop in the middle of a record, or come in a flood.
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <csignal>

#include "TestSupport.h"
#include "app/AppFunctions.h"
#include "net/CMsg.h"
#include "shell/RtfCodec.h"

namespace {

struct SendResult {
    int exitCode = -1;
    QByteArray out;
};

SendResult QuillpadSend(const TestHome& home, const QStringList& arguments) {
    QProcess send;
    send.setProcessEnvironment(home.Environment());
    send.start(QStringLiteral(QUILLPAD_SEND_BINARY), arguments);
    if (!send.waitForFinished(30000))
        return {};
    return {send.exitCode(), send.readAllStandardOutput()};
}

}  // namespace

class TestRunningProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void receivesAndSurvivesBrokenPeers();
};

void TestRunningProgram::receivesAndSurvivesBrokenPeers() {
    const TestHome receiver;
    const TestHome sender;
    const quint16 port = FreePort();
    WriteWholeFile(
        receiver.StorePath(),
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]\n\"Full "
        "Name\"=\"Rita Receiver\"\n"
        "\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Communication]\n\"Port\"=" +
            StoreDword(port) + "\n\"Broadcast\"=" + StoreDword(0) + "\n");
    WriteWholeFile(sender.StorePath(),
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]"
                   "\n\"Full Name\"=\"Sam Script\"\n");
    ProgramRun program(receiver);
    QVERIFY(program.Start());
    const QString address = QStringLiteral("127.0.0.1:%1").arg(port);
    QVERIFY(WaitFor(
        [&] {
            return QuillpadSend(sender, {QStringLiteral("--check"), address}).exitCode == 0;
        },
        15000));

    // Garbage, a record cut off, and a flood of idle connections.
    QTcpSocket garbage;
    garbage.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(garbage.waitForConnected(5000));
    garbage.write(QByteArray::fromHex("0000"
                                      "00010003"
                                      "ffffff"
                                      "ffffffff") +
                  QByteArray(100, '\xee'));
    garbage.waitForBytesWritten(1000);
    QTcpSocket half;
    half.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(half.waitForConnected(5000));
    half.write(CMsg(MSG_SENDER_NAME, QByteArray("Half")).Encode() +
               CMsg(MSG_TEXT, QByteArray(100, 'h')).Encode().left(30));
    half.waitForBytesWritten(1000);
    half.disconnectFromHost();
    QList<QTcpSocket*> flood;
    for (int i = 0; i < 100; ++i) {
        auto* socket = new QTcpSocket(this);
        socket->connectToHost(QHostAddress::LocalHost, port);
        flood.append(socket);
    }
    QTest::qWait(500);
    qDeleteAll(flood);

    // Still running and receiving once the flood is over: a check answers, and a note goes
    // through.
    const SendResult check = QuillpadSend(sender, {QStringLiteral("--check"), address});
    QCOMPARE(check.exitCode, 0);
    QCOMPARE(check.out, address.toUtf8() + "\tlistening\tRita Receiver\n");
    const SendResult note = QuillpadSend(
        sender, {QStringLiteral("-m"), QStringLiteral("Build 4711 is broken."), address});
    QCOMPARE(note.exitCode, 0);
    QVERIFY(program.IsRunning());

    // The log, saved at the end, holds the incoming block.
    QTest::qWait(300);
    program.Signal(SIGTERM);
    QVERIFY(program.WaitForExit(10000));
    QCOMPARE(program.ExitCode(), 0);
    const QString logPath =
        receiver.DataDirectory() + FormatLocalTime("%B") + QStringLiteral(".qpd");
    RtfContent log;
    QVERIFY(ReadRtf(ReadWholeFile(logPath), log, nullptr));
    const QString text = QString(log.m_strText).replace(QChar::LineSeparator, QLatin1Char('\n'));
    QVERIFY(text.contains(
        QStringLiteral("\n\n------------------------ Incoming Message ------------------------ \n\n"
                       "FROM: Sam Script at ")));
    QVERIFY2(text.contains(QStringLiteral("\nTO: ") + address +
                           QStringLiteral(";\n\nBuild 4711 is broken.\n\n")),
             qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Error reading socket")));
    QVERIFY(!text.contains(QStringLiteral("Half")));
}

QUILLPAD_TEST_MAIN(TestRunningProgram)
#include "TestRunningProgram.moc"
