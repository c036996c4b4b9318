#include <sys/inotify.h>
#include <unistd.h>

#include <QUdpSocket>
#include <QtTest>

#include "TestSupport.h"
#include "addressbook/AddressBook.h"
#include "addressbook/CLoginSocket.h"
#include "addressbook/LogonRecord.h"
#include "app/Settings.h"

namespace {

QByteArray Field(const QByteArray& text, int size) {
    return QByteArray(text + QByteArray(size, '\0')).left(size);
}

}  // namespace

class TestLogonRecord : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordBytes();
    void longNamesAreCutAtACharacter_data();
    void longNamesAreCutAtACharacter();
    void readingDatagrams_data();
    void readingDatagrams();
    void datagramFromAnotherProgramReachesTheList();
    void selfAnnouncementIsListed();
    void announcerIsListedByAnAddressThatReachesIt_data();
    void announcerIsListedByAnAddressThatReachesIt();
    void burstIsWrittenInOneGo();
    void severalReceiversShareThePort();
    void broadcastFailureIsReported();

private:
    // A receiver on a free port of this machine, filling OL.add in a data directory of its own.
    struct Receiver {
        QTemporaryDir dir;
        Settings settings;
        std::unique_ptr<CLoginSocket> socket;
        Receiver() {
            settings.m_strDataDirectory = dir.path() + QLatin1Char('/');
            ResetRecentLists(settings.m_strDataDirectory);
            socket = std::make_unique<CLoginSocket>(settings);
        }
        QByteArray List() const {
            return ReadWholeFile(settings.m_strDataDirectory + QStringLiteral("OL.add"));
        }
    };
};

void TestLogonRecord::recordBytes() {
    const LogonRecord record{QStringLiteral("Ann Example"), QStringLiteral("pc-ann"), 6001};
    const QByteArray expected =
        Field("Ann Example", 61) + Field("pc-ann", 19) + QByteArray("\x71\x17\x00\x00", 4);
    QCOMPARE(record.ToBytes(), expected);
    QCOMPARE(record.ToBytes().size(), 84);

    const QByteArray negative = LogonRecord{QString(), QString(), -2}.ToBytes();
    QCOMPARE(negative.mid(80), QByteArray("\xfe\xff\xff\xff", 4));
    QCOMPARE(negative.left(80), QByteArray(80, '\0'));
}

void TestLogonRecord::longNamesAreCutAtACharacter_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("60 characters fit") << QString(60, u'a') << QByteArray(60, 'a');
    QTest::newRow("70 are cut to 60") << QString(70, u'a') << QByteArray(60, 'a');
    // 59 bytes, then a two-byte character that would end at byte 61: it goes whole.
    QTest::newRow("no half character")
        << QString(59, u'a') + QStringLiteral("é") << QByteArray(59, 'a');
    QTest::newRow("a whole one fits")
        << QString(58, u'a') + QStringLiteral("é") << QByteArray(58, 'a') + "\xc3\xa9";
}

void TestLogonRecord::longNamesAreCutAtACharacter() {
    QFETCH(QString, name);
    QFETCH(QByteArray, field);
    const QByteArray bytes =
        LogonRecord{name, QStringLiteral("a-very-long-computer-name"), 1}.ToBytes();
    QCOMPARE(bytes.left(61), Field(field, 61));
    QCOMPARE(bytes.mid(61, 19), Field("a-very-long-comput", 19));  // 18 bytes and the zero
    LogonRecord back;
    QVERIFY(LogonRecord::FromBytes(bytes, back));
    QCOMPARE(back.m_strFullName.toUtf8(), field);
}

void TestLogonRecord::readingDatagrams_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("isRecord");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("computer");
    QTest::addColumn<int>("port");
    const QByteArray port = QByteArray("\x71\x17\x00\x00", 4);
    QTest::newRow("whole") << Field("Ann", 61) + Field("pc", 19) + port << true
                           << QStringLiteral("Ann") << QStringLiteral("pc") << 6001;
    QTest::newRow("short") << QByteArray(Field("Ann", 61) + Field("pc", 19) + port).left(83)
                           << false << QString() << QString() << 0;
    QTest::newRow("empty") << QByteArray() << false << QString() << QString() << 0;
    // Fields without their zero byte are read no further than their own end.
    QTest::newRow("unterminated") << QByteArray(61, 'N') + QByteArray(19, 'C') + port << true
                                  << QString(61, u'N') << QString(19, u'C') << 6001;
    QTest::newRow("bytes after the zero ignored")
        << QByteArray("Ann\0garbage", 11) + QByteArray(50, 'x') + QByteArray("pc\0junk", 7) +
               QByteArray(12, 'y') + port
        << true << QStringLiteral("Ann") << QStringLiteral("pc") << 6001;
}

void TestLogonRecord::readingDatagrams() {
    QFETCH(QByteArray, datagram);
    QFETCH(bool, isRecord);
    QFETCH(QString, name);
    QFETCH(QString, computer);
    QFETCH(int, port);
    LogonRecord record;
    QCOMPARE(LogonRecord::FromBytes(datagram, record), isRecord);
    if (!isRecord)
        return;
    QCOMPARE(record.m_strFullName, name);
    QCOMPARE(record.m_strComputerName, computer);
    QCOMPARE(record.m_nPort, port);
}

void TestLogonRecord::datagramFromAnotherProgramReachesTheList() {
    Receiver receiver;
    QVERIFY(receiver.socket->Create(0));
    QSignalSpy received(receiver.socket.get(), &CLoginSocket::announcementReceived);
    // The record built from its table by a program in another language; a short datagram
    // sent first is ignored.
    const QString script = QStringLiteral(
        "import socket, struct, sys\n"
        "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
        "s.sendto(b'short', ('127.0.0.1', int(sys.argv[1])))\n"
        "rec = b'Zo\\xc3\\xab Example'.ljust(61, b'\\0') + b'host-zoe'.ljust(19, b'\\0') + "
        "struct.pack('<i', 7010)\n"
        "s.sendto(rec, ('127.0.0.1', int(sys.argv[1])))\n");
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), script, QString::number(receiver.socket->LocalPort())});
    QVERIFY(python.waitForFinished(30000));
    QCOMPARE(python.exitCode(), 0);
    // host-zoe does not resolve: the entry is addressed by where the datagram came from.
    QVERIFY(WaitFor(
        [&] {
            return receiver.List() == QByteArray("On-Lines\r\nZo\xc3\xab Example;127.0.0.1;7010;");
        },
        5000));
    QCOMPARE(received.count(), 1);
}

void TestLogonRecord::selfAnnouncementIsListed() {
    Receiver receiver;
    QVERIFY(receiver.socket->Create(0));
    QSignalSpy received(receiver.socket.get(), &CLoginSocket::announcementReceived);
    const LogonRecord me{QStringLiteral("Me Myself"), QStringLiteral("my-pc"), 6001};
    QString error;
    for (int i = 0; i < 3; ++i)
        QVERIFY2(SendLogonAnnouncement(me, QHostAddress::LocalHost, receiver.socket->LocalPort(),
                                       &error),
                 qPrintable(error));
    QVERIFY(WaitFor([&] { return received.count() == 3; }, 5000));
    // Announcing every interval keeps one entry at the top.
    QVERIFY(WaitFor(
        [&] { return receiver.List() == QByteArray("On-Lines\r\nMe Myself;127.0.0.1;6001;"); },
        5000));
    const LogonRecord nameless{QString(), QStringLiteral("other-pc"), 6002};
    QVERIFY(SendLogonAnnouncement(nameless, QHostAddress::LocalHost, receiver.socket->LocalPort(),
                                  &error));
    QVERIFY(WaitFor(
        [&] {
            return receiver.List() ==
                   QByteArray("On-Lines\r\n;127.0.0.1;6002;\r\nMe Myself;127.0.0.1;6001;");
        },
        5000));
}

void TestLogonRecord::announcerIsListedByAnAddressThatReachesIt_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("computer");
    QTest::addColumn<QByteArray>("address");
    // Host names on Linux networks often resolve nowhere, or somewhere else: a note sent to
    // such a name would find no one, while the datagram's own source reaches the announcer.
    QTest::newRow("name that resolves to the sender")
        << QStringLiteral("127.0.0.1") << QStringLiteral("localhost") << QByteArray("localhost");
    QTest::newRow("name that does not resolve")
        << QStringLiteral("127.0.0.1") << QStringLiteral("bert-box.invalid")
        << QByteArray("127.0.0.1");
    QTest::newRow("name that resolves to another address")
        << QStringLiteral("127.0.0.2") << QStringLiteral("localhost") << QByteArray("127.0.0.2");
    QTest::newRow("no name") << QStringLiteral("127.0.0.3") << QString() << QByteArray("127.0.0.3");
    QTest::newRow("another address as the name")
        << QStringLiteral("127.0.0.1") << QStringLiteral("127.0.0.9") << QByteArray("127.0.0.1");
}

void TestLogonRecord::announcerIsListedByAnAddressThatReachesIt() {
    QFETCH(QString, source);
    QFETCH(QString, computer);
    QFETCH(QByteArray, address);
    Receiver receiver;
    QVERIFY(receiver.socket->Create(0));
    QUdpSocket sender;
    QVERIFY(sender.bind(QHostAddress(source), 0));
    const QByteArray record = LogonRecord{QStringLiteral("Bert"), computer, 6001}.ToBytes();
    QCOMPARE(sender.writeDatagram(record, QHostAddress::LocalHost, receiver.socket->LocalPort()),
             qint64(record.size()));
    const QByteArray expected = "On-Lines\r\nBert;" + address + ";6001;";
    QVERIFY2(WaitFor([&] { return receiver.List() == expected; }, 10000),
             receiver.List().constData());
}

void TestLogonRecord::burstIsWrittenInOneGo() {
    // A burst of announcements rewrites the on-line list once, not once per datagram.
    Receiver receiver;
    QVERIFY(receiver.socket->Create(0));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(::inotify_add_watch(watch, QFile::encodeName(receiver.dir.path()).constData(),
                                IN_MOVED_TO | IN_CLOSE_WRITE) >= 0);
    QUdpSocket sender;
    QVERIFY(sender.bind(QHostAddress::LocalHost, 0));
    const int burst = 20;
    for (int i = 0; i < burst; ++i) {
        const QByteArray record =
            LogonRecord{QStringLiteral("User %1").arg(i), QStringLiteral("localhost"), 6001}
                .ToBytes();
        sender.writeDatagram(record, QHostAddress::LocalHost, receiver.socket->LocalPort());
    }
    QVERIFY(WaitFor([&] { return receiver.List().count("\r\n") == burst; }, 10000));
    QVERIFY(receiver.List().startsWith("On-Lines\r\nUser 19;localhost;6001;\r\nUser 18;"));
    QTest::qWait(200);
    int writes = 0;
    alignas(inotify_event) char events[16384];
    const qsizetype length = ::read(watch, events, sizeof events);
    for (qsizetype offset = 0; offset < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + offset);
        if (event->len > 0 && QByteArray(event->name) == "OL.add")
            ++writes;
        offset += static_cast<qsizetype>(sizeof(inotify_event) + event->len);
    }
    ::close(watch);
    QCOMPARE(writes, 1);
}

void TestLogonRecord::severalReceiversShareThePort() {
    Receiver first;
    Receiver second;
    QVERIFY(first.socket->Create(0));
    QVERIFY(second.socket->Create(first.socket->LocalPort()));
}

void TestLogonRecord::broadcastFailureIsReported() {
    // Whether a broadcast goes out depends on the network the test runs in; a failure must
    // come back as one of the two texts, never unreported.
    QString error;
    if (!SendLogonAnnouncement(LogonRecord{QStringLiteral("T"), QStringLiteral("pc"), 1}, &error)) {
        QVERIFY2(
            error == QStringLiteral("Error: Can't send login information!") ||
                error == QStringLiteral("Error: Can't create socket to send logon information!"),
            qPrintable(error));
    }
}

QUILLPAD_TEST_MAIN(TestLogonRecord)
#include "TestLogonRecord.moc"
