// The command-line sender as a process, against listeners written in another language that
// decode the records from their byte form on their own.
#include <QTcpServer>
#include <QtTest>

#include "TestSupport.h"
#include "net/CMsg.h"

namespace {

constexpr int kProcessTimeoutMs = 20000;
constexpr int kListenerSeconds = 20;

// python3 -c SCRIPT MODE COUNT SECONDS [ANSWER_HEX]: listens on COUNT free ports of 127.0.0.1
// and prints them on one line. Mode "note" reads each connection to its end; mode "check"
// answers the first record with the final check answer carrying ANSWER_HEX's bytes as its text,
// then closes. After COUNT connections, prints one JSON line per connection in the order their
// data arrived; gives up after SECONDS.
const char kListenerScript[] = R"PY(
import json, select, socket, struct, sys, time

mode, count, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
answer = bytes.fromhex(sys.argv[4]) if len(sys.argv) > 4 else b''
deadline = time.monotonic() + seconds
TIMESTAMPNS = getattr(socket, 'SO_TIMESTAMPNS', 35)
LIMIT = 4 << 20


def decode(data):
    records, i = [], 0
    while len(data) - i >= 7:
        final, code, n = struct.unpack_from('<HIB', data, i)
        j = i + 7
        if n == 0xFF:
            if len(data) - j < 2:
                break
            n = struct.unpack_from('<H', data, j)[0]
            j += 2
            if n == 0xFFFF:
                if len(data) - j < 4:
                    break
                n = struct.unpack_from('<I', data, j)[0]
                j += 4
        if len(data) - j < n:
            break
        records.append({'final': final, 'code': code, 'text': data[j:j + n].hex()})
        i = j + n
    return records, i == len(data)


listeners = []
for _ in range(count):
    s = socket.socket()
    # The kernel's receive time orders connections that wait in different accept queues.
    s.setsockopt(socket.SOL_SOCKET, TIMESTAMPNS, 1)
    s.bind(('127.0.0.1', 0))
    s.listen(4)
    listeners.append(s)
print(' '.join(str(s.getsockname()[1]) for s in listeners), flush=True)

connections, done = {}, []
while len(done) < count:
    left = deadline - time.monotonic()
    if left <= 0:
        sys.exit('timed out')
    for s in select.select(listeners + list(connections), [], [], left)[0]:
        if s in listeners:
            conn, _ = s.accept()
            connections[conn] = {'listener': listeners.index(s), 'time': None, 'data': b''}
            continue
        entry = connections[s]
        data, ancillary, _, _ = s.recvmsg(65536, 256)
        for level, kind, payload in ancillary:
            if level == socket.SOL_SOCKET and kind == TIMESTAMPNS and entry['time'] is None:
                sec, nsec = struct.unpack('qq', payload[:16])
                entry['time'] = sec * 10**9 + nsec
        if entry['time'] is None:
            entry['time'] = time.time_ns()
        entry['data'] += data
        if len(entry['data']) > LIMIT:
            sys.exit('too much data')
        records, whole = decode(entry['data'])
        answered = mode == 'check' and records
        if answered:
            s.sendall(struct.pack('<HIB', 1, records[0]['code'], len(answer)) + answer)
        if not data or answered:
            s.close()
            del connections[s]
            entry['records'], entry['whole'] = records, whole
            done.append(entry)
for entry in sorted(done, key=lambda e: e['time']):
    print(json.dumps({'listener': entry['listener'], 'whole': entry['whole'],
                      'records': entry['records']}))
)PY";

struct Connection {
    int m_nListener = -1;
    bool m_bWhole = false;
    QList<CMsg> m_records;
};

class PythonListener {
public:
    ~PythonListener() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool Start(const QString& mode, int count, const QByteArray& answer = QByteArray()) {
        m_process.start(
            QStringLiteral("python3"),
            {QStringLiteral("-c"), QString::fromUtf8(kListenerScript), mode, QString::number(count),
             QString::number(kListenerSeconds), QString::fromLatin1(answer.toHex())});
        const QDeadlineTimer deadline(kProcessTimeoutMs);
        while (!m_process.canReadLine() && !deadline.hasExpired() &&
               m_process.state() != QProcess::NotRunning)
            m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(deadline.remainingTime(), 1)));
        for (const QByteArray& port : m_process.readLine().trimmed().split(' ')) {
            if (port.toInt() > 0)
                m_ports.append(QString::number(port.toInt()));
        }
        return m_ports.size() == count;
    }

    // 127.0.0.1 and the port of listener index.
    QString Address(int index) const { return QStringLiteral("127.0.0.1:") + m_ports.value(index); }

    // The connections in the order their data arrived, once every listener had its one.
    QList<Connection> Finish() {
        QList<Connection> connections;
        if (!m_process.waitForFinished(kProcessTimeoutMs) || m_process.exitCode() != 0) {
            qWarning() << "listener:" << m_process.readAllStandardError();
            return connections;
        }
        for (const QByteArray& line : m_process.readAllStandardOutput().split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object.isEmpty())
                continue;
            Connection connection{object[QStringLiteral("listener")].toInt(),
                                  object[QStringLiteral("whole")].toBool(),
                                  {}};
            for (const QJsonValue value : object[QStringLiteral("records")].toArray()) {
                const QJsonObject record = value.toObject();
                connection.m_records.append(
                    CMsg(static_cast<quint32>(record[QStringLiteral("code")].toInteger()),
                         QByteArray::fromHex(record[QStringLiteral("text")].toString().toLatin1()),
                         static_cast<quint32>(record[QStringLiteral("final")].toInteger())));
            }
            connections.append(connection);
        }
        return connections;
    }

private:
    QProcess m_process;
    QStringList m_ports;
};

struct SendRun {
    bool m_bFinished = false;
    int m_nExitCode = -1;
    QByteArray m_output;
    QByteArray m_errors;
};

// Without input, standard input stays open: a run that waits for it never ends.
SendRun RunSend(const TestHome& home, const QStringList& arguments,
                const std::optional<QByteArray>& input = std::nullopt) {
    QProcess process;
    process.setProcessEnvironment(home.Environment());
    process.start(QStringLiteral(QUILLPAD_SEND_BINARY), arguments);
    SendRun run;
    if (!process.waitForStarted(kProcessTimeoutMs))
        return run;
    if (input) {
        process.write(*input);
        process.closeWriteChannel();
    }
    run.m_bFinished = process.waitForFinished(kProcessTimeoutMs);
    if (!run.m_bFinished) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.m_nExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.m_output = process.readAllStandardOutput();
    run.m_errors = process.readAllStandardError();
    return run;
}

QByteArray Section(const char* name) {
    return "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\" + QByteArray(name) + "]\n";
}

// The sender's identity: port 6002 and a location line, no phone, fax or quote.
QByteArray SenderStore() {
    return "REGEDIT4\n\n" + Section("Profiles") +
           "\"Full Name\"=\"Ann Example\"\n"
           "\"Location\"=\"Room 4\"\n\n" +
           Section("Communication") +
           "\"Port\"=dword:00001772\n"
           "\"Socket Timeout\"=dword:00000003\n\n";
}

// One line per record: its flag, its code in hex and its text.
QList<QByteArray> Described(const QList<CMsg>& records) {
    QList<QByteArray> lines;
    for (const CMsg& record : records)
        lines.append(QByteArray::number(record.m_bFinal) + ' ' +
                     QByteArray::number(record.m_dwCode, 16) + ' ' + record.m_strData);
    return lines;
}

QList<QByteArray> ExpectedNote(const QByteArray& body, const QByteArray& recipientField) {
    return Described({CMsg(MSG_SENDER_NAME, QByteArray("Ann Example")),
                      CMsg(MSG_SENDER_ADDRESS, QByteArray("127.0.0.1")),
                      CMsg(MSG_SENDER_PORT, QByteArray("6002")), CMsg(MSG_SENDER_DONE),
                      CMsg(MSG_BEGIN), CMsg(MSG_FROM_LINE, "FROM: " + recipientField),
                      CMsg(MSG_TEXT_SPACED, "TO: " + recipientField), CMsg(MSG_TEXT, body),
                      CMsg(MSG_TEXT, QByteArray()), CMsg(MSG_TEXT, QByteArray("Location: Room 4")),
                      CMsg(MSG_END)});
}

// A port on 127.0.0.1 that nobody listens on.
QString DeadAddress() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("127.0.0.1:") + QString::number(server.serverPort());
}

QByteArray LongText(qsizetype size) {
    return QByteArray("abcdefghijklmnopqrstuvw").repeated(size / 23 + 1).left(size);
}

}  // namespace

class TestQuillpadSend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void noteArrivesAsOneExchange_data();
    void noteArrivesAsOneExchange();
    void unreachableRecipientIsReportedAndTheOthersServed();
    void checkPrintsEachAddress_data();
    void checkPrintsEachAddress();
    void portsOutsideTheRangeFailToConnect();
    void usageErrors_data();
    void usageErrors();
    void helpDescribesBothForms();

private:
    TestHome m_home;
    QByteArray m_store;
    QDateTime m_storeModified;
};

void TestQuillpadSend::init() {
    m_store = SenderStore();
    QDir(m_home.DataHome()).removeRecursively();
    QDir().mkpath(m_home.DataHome());
    WriteWholeFile(m_home.StorePath(), m_store);
    m_storeModified = QFileInfo(m_home.StorePath()).lastModified();
}

// The sender only looks at the store, and keeps no log or recent list.
void TestQuillpadSend::cleanup() {
    QCOMPARE(ReadWholeFile(m_home.StorePath()), m_store);
    QCOMPARE(QFileInfo(m_home.StorePath()).lastModified(), m_storeModified);
    QCOMPARE(QFileInfo(m_home.StorePath()).dir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("registry.reg")});
    QCOMPARE(QDir(m_home.DataHome()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

void TestQuillpadSend::noteArrivesAsOneExchange_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<std::optional<QByteArray>>("input");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("text given with -m")
        << QStringList{QStringLiteral("-m"), QStringLiteral("Lunch at one?")}
        << std::optional<QByteArray>() << QByteArray("Lunch at one?");
    const QString greeting = QStringLiteral("Gr\u00fc\u00dfe, Zo\u00eb");
    QTest::newRow("text beyond ASCII") << QStringList{QStringLiteral("-m"), greeting}
                                       << std::optional<QByteArray>() << greeting.toUtf8();
    // Lines end in CR LF on the wire, whatever ends them in the input.
    QTest::newRow("text from standard input")
        << QStringList() << std::optional<QByteArray>("Line one\nLine two\r\n")
        << QByteArray("Line one\r\nLine two\r\n");
    QTest::newRow("lines given with -m")
        << QStringList{QStringLiteral("-m"), QStringLiteral("one\ntwo")}
        << std::optional<QByteArray>() << QByteArray("one\r\ntwo");
    QTest::newRow("empty standard input")
        << QStringList() << std::optional<QByteArray>(QByteArray()) << QByteArray();
    QTest::newRow("1 MiB from standard input")
        << QStringList{QStringLiteral("--timeout"), QStringLiteral("2")}
        << std::optional<QByteArray>(LongText(1024 * 1024)) << LongText(1024 * 1024);
}

void TestQuillpadSend::noteArrivesAsOneExchange() {
    QFETCH(QStringList, options);
    QFETCH(std::optional<QByteArray>, input);
    QFETCH(QByteArray, body);
    PythonListener listener;
    QVERIFY(listener.Start(QStringLiteral("note"), 1));

    const SendRun run = RunSend(m_home, options << listener.Address(0), input);
    QVERIFY(run.m_bFinished);
    QCOMPARE(run.m_nExitCode, 0);
    QCOMPARE(run.m_errors, QByteArray());
    QCOMPARE(run.m_output, QByteArray());

    const QList<Connection> connections = listener.Finish();
    QCOMPARE(connections.size(), 1);
    QVERIFY(connections[0].m_bWhole);
    QCOMPARE(Described(connections[0].m_records),
             ExpectedNote(body, listener.Address(0).toLatin1() + ';'));
}

void TestQuillpadSend::unreachableRecipientIsReportedAndTheOthersServed() {
    PythonListener listener;
    QVERIFY(listener.Start(QStringLiteral("note"), 2));
    const QString dead = DeadAddress();

    const SendRun run = RunSend(m_home, {QStringLiteral("-m"), QStringLiteral("Fire drill at 3"),
                                         listener.Address(0), dead, listener.Address(1)});
    QVERIFY(run.m_bFinished);
    QCOMPARE(run.m_nExitCode, 1);
    QCOMPARE(run.m_errors, dead.toLatin1() + " is not listening...\n");

    const QList<Connection> connections = listener.Finish();
    QCOMPARE(connections.size(), 2);
    const QByteArray field = listener.Address(0).toLatin1() + ';' + dead.toLatin1() + ';' +
                             listener.Address(1).toLatin1() + ';';
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(connections[i].m_nListener, i);
        QVERIFY(connections[i].m_bWhole);
        QCOMPARE(Described(connections[i].m_records), ExpectedNote("Fire drill at 3", field));
    }
}

void TestQuillpadSend::checkPrintsEachAddress_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("printedName");
    QTest::addColumn<bool>("withUnreachable");

    QTest::newRow("named user") << QByteArray("Zoe Example") << QByteArray("Zoe Example") << false;
    QTest::newRow("no name, then an address nobody listens on")
        << QByteArray() << QByteArray() << true;
    // One line per address, whatever the name holds.
    QTest::newRow("name with a tab and a line end")
        << QByteArray("Zoe\tEx\nample") << QByteArray("Zoe Ex ample") << false;
}

void TestQuillpadSend::checkPrintsEachAddress() {
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, printedName);
    QFETCH(bool, withUnreachable);
    PythonListener listener;
    QVERIFY(listener.Start(QStringLiteral("check"), 1, answer));
    QStringList arguments{QStringLiteral("--check"), listener.Address(0)};
    QByteArray expected = listener.Address(0).toLatin1() + "\tlistening\t" + printedName + '\n';
    if (withUnreachable) {
        arguments << DeadAddress();
        expected += arguments.last().toLatin1() + "\tnot listening\n";
    }

    const SendRun run = RunSend(m_home, arguments);
    QVERIFY(run.m_bFinished);
    QCOMPARE(run.m_output, expected);
    QCOMPARE(run.m_errors, QByteArray());
    QCOMPARE(run.m_nExitCode, withUnreachable ? 1 : 0);

    const QList<Connection> connections = listener.Finish();
    QCOMPARE(connections.size(), 1);
    QVERIFY(connections[0].m_bWhole);
    QCOMPARE(Described(connections[0].m_records), Described({CMsg(MSG_CHECK)}));
}

void TestQuillpadSend::portsOutsideTheRangeFailToConnect() {
    const SendRun run =
        RunSend(m_home, {QStringLiteral("--check"), QStringLiteral("[::1]:0"),
                         QStringLiteral("127.0.0.1:65536"), QStringLiteral("127.0.0.1:-1"),
                         QStringLiteral("127.0.0.1:99999999999")});
    QVERIFY(run.m_bFinished);
    QCOMPARE(run.m_nExitCode, 1);
    QCOMPARE(run.m_output, QByteArray("[::1]:0\tnot listening\n"
                                      "127.0.0.1:65536\tnot listening\n"
                                      "127.0.0.1:-1\tnot listening\n"
                                      "127.0.0.1:99999999999\tnot listening\n"));
}

void TestQuillpadSend::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<std::optional<QByteArray>>("input");
    QTest::addColumn<QByteArray>("message");

    const QString somewhere = QStringLiteral("127.0.0.1:9");
    const std::optional<QByteArray> none;
    QTest::newRow("no recipient") << QStringList{QStringLiteral("-m"), QStringLiteral("Hi")} << none
                                  << QByteArray("no recipient given");
    QTest::newRow("no address to check")
        << QStringList{QStringLiteral("--check")} << none << QByteArray("no address to check");
    QTest::newRow("-m without text") << QStringList{somewhere, QStringLiteral("-m")} << none
                                     << QByteArray("option '-m' needs the note's text");
    QTest::newRow("port that is not a number")
        << QStringList{QStringLiteral("-m"), QStringLiteral("Hi"), QStringLiteral("127.0.0.1:6o01")}
        << none << QByteArray("'127.0.0.1:6o01': the port is not a number");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--urgent"), somewhere} << none
                                    << QByteArray("unknown option '--urgent'");
    QTest::newRow("negative time-out")
        << QStringList{QStringLiteral("--timeout"), QStringLiteral("-1"), QStringLiteral("-m"),
                       QStringLiteral("Hi"), somewhere}
        << none << QByteArray("invalid time-out '-1'");
    QTest::newRow("-m with --check") << QStringList{QStringLiteral("--check"), QStringLiteral("-m"),
                                                    QStringLiteral("Hi"), somewhere}
                                     << none << QByteArray("'-m' cannot be used with '--check'");
    QTest::newRow("IPv6 address without brackets")
        << QStringList{QStringLiteral("-m"), QStringLiteral("Hi"), QStringLiteral("::1")} << none
        << QByteArray("an IPv6 address goes in brackets");
    // A receiver takes at most 1 MiB of text in one record, counted as it goes on the wire.
    QTest::newRow("over 1 MiB once its lines end in CR LF")
        << QStringList{somewhere} << std::optional<QByteArray>(QByteArray("a\n").repeated(400000))
        << QByteArray("longer than a receiver accepts");
    QTest::newRow("bytes that grow when read as text")
        << QStringList{somewhere} << std::optional<QByteArray>(QByteArray(600000, '\xff'))
        << QByteArray("longer than a receiver accepts");
    QTest::newRow("standard input over 1 MiB")
        << QStringList{somewhere} << std::optional<QByteArray>(LongText(1024 * 1024 + 1))
        << QByteArray("longer than 1 MiB");
}

void TestQuillpadSend::usageErrors() {
    QFETCH(QStringList, arguments);
    QFETCH(std::optional<QByteArray>, input);
    QFETCH(QByteArray, message);
    const SendRun run = RunSend(m_home, arguments, input);
    QVERIFY(run.m_bFinished);
    QCOMPARE(run.m_nExitCode, 2);
    QCOMPARE(run.m_output, QByteArray());
    const QList<QByteArray> lines = run.m_errors.split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith("quillpad-send: ") && lines[0].contains(message),
             lines[0].constData());
    QCOMPARE(lines[1], QByteArray("Try 'quillpad-send --help'."));
    QCOMPARE(lines[2], QByteArray());
}

void TestQuillpadSend::helpDescribesBothForms() {
    const SendRun run = RunSend(m_home, {QStringLiteral("--help")});
    QVERIFY(run.m_bFinished);
    QCOMPARE(run.m_nExitCode, 0);
    QCOMPARE(run.m_errors, QByteArray());
    QVERIFY(run.m_output.contains("[-m TEXT] HOST[:PORT]..."));
    QVERIFY(run.m_output.contains("--check HOST[:PORT]..."));
}

QUILLPAD_TEST_MAIN(TestQuillpadSend)
#include "TestQuillpadSend.moc"
