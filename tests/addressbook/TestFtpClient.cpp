// The FTP client against a real server on loopback, and against a scripted server for what
// real servers never do.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

#include "FtpServers.h"
#include "SilentNameServer.h"
#include "TestSupport.h"
#include "addressbook/CFtpClient.h"

using namespace Qt::StringLiterals;

namespace {

using ftptest::kPassword;
using ftptest::kUser;
constexpr int kShortSilenceMs = 300;
// Long enough for pyftpdlib's pause of 3 seconds after a wrong password.
constexpr int kRealServerSilenceMs = 10000;

QStringList L(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

// The steps of a scripted login as u/p, and of a QUIT answered.
QStringList Logon() {
    return L(
        {"send 220 Ready.", "recv", "send 331 Password required.", "recv", "send 230 Logged in."});
}
QStringList Bye() {
    return L({"recv", "send 221 Goodbye."});
}

using ftptest::RealServer;

// tests/addressbook/ftp_script_server.py playing the given steps for one session.
class ScriptedServer : public ftptest::ScriptedServer {
public:
    explicit ScriptedServer(const QStringList& steps)
        : ftptest::ScriptedServer(ftptest::ScriptServerPath(), steps) {}
};

// What pyftpdlib lists for a file of the served directory.
QByteArray ListingLine(const QString& path) {
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &info) != 0)
        return QByteArray();
    const passwd* owner = ::getpwuid(info.st_uid);
    const group* group = ::getgrgid(info.st_gid);
    const QByteArray user = owner ? QByteArray(owner->pw_name) : QByteArray::number(info.st_uid);
    const QByteArray team = group ? QByteArray(group->gr_name) : QByteArray::number(info.st_gid);
    return "-rw-r--r--   1 " + user.leftJustified(8) + ' ' + team.leftJustified(8) + ' ' +
           QByteArray::number(qint64(info.st_size)).rightJustified(8) + " Jul 04  2023 " +
           QFileInfo(path).fileName().toUtf8() + "\r\n";
}

const QByteArray kSalesBook = "Sales\r\nAnna Berg;192.168.1.20;6001;\r\nBen Kaye;pc-ben;6001;";
const QByteArray kTeamBook = "Team Members\nCarl;10.0.0.7;6001;\nDora;10.0.0.8;6002;";
const QByteArray kTeamBookAscii = "Team Members\r\nCarl;10.0.0.7;6001;\r\nDora;10.0.0.8;6002;";

QByteArray BinaryBytes() {
    QByteArray bytes = "\xff\r\n\xff\n\r\x00"_ba;
    for (int i = 0; bytes.size() < 12000; ++i)
        bytes.append(char(i * 7 % 256));
    return bytes;
}

}  // namespace

class TestFtpClient : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void portCommand_data();
    void portCommand();
    void logonShowsEachStep();
    void wrongPassword();
    void changeDirectory_data();
    void changeDirectory();
    void retrieve_data();
    void retrieve();
    void scriptedLogon_data();
    void scriptedLogon();
    void replies_data();
    void replies();
    void transfers_data();
    void transfers();
    void transferLimit();
    void timeBounds_data();
    void timeBounds();
    void connectFailures_data();
    void connectFailures();
    void busyGuard();
    void cancelEndsAWaitAtOnce();
    void aHangingNameLookupEnds();
    void destructionQuits();

private:
    QString m_noOwnNetwork;  // why the test process has no network of its own, if it has not
    QTemporaryDir m_served;
    QTemporaryDir m_local;
    std::unique_ptr<RealServer> m_server;
};

void TestFtpClient::initTestCase() {
    // Before anything starts a thread or a server, which would stay in the old network.
    m_noOwnNetwork = silentdns::EnterOwnNetwork();
    const QString books = m_served.filePath(QStringLiteral("books"));
    const QList<QPair<QString, QByteArray>> files = {
        {QStringLiteral("Sales.add"), kSalesBook},
        {QStringLiteral("Team Members.add"), kTeamBook},
        {QStringLiteral("binary.dat"), BinaryBytes()}};
    // Fixed times and modes, so that the listing is known to the byte.
    const QDateTime old(QDate(2023, 7, 4), QTime(12, 0), Qt::UTC);
    for (const auto& [name, bytes] : files) {
        const QString path = books + u'/' + name;
        WriteWholeFile(path, bytes);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                        QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    m_server = std::make_unique<RealServer>(m_served.path());
    QVERIFY2(m_server->Port() != 0, "pyftpdlib did not start");
}

void TestFtpClient::portCommand_data() {
    QTest::addColumn<quint32>("address");
    QTest::addColumn<quint16>("port");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("bytes in order")
        << 0xC0A80114u << quint16(4097) << QByteArray("PORT 192,168,1,20,16,1");
    QTest::newRow("low port") << 0x7F000001u << quint16(255) << QByteArray("PORT 127,0,0,1,0,255");
    QTest::newRow("highest") << 0xFFFFFFFFu << quint16(65535)
                             << QByteArray("PORT 255,255,255,255,255,255");
}

void TestFtpClient::portCommand() {
    QFETCH(quint32, address);
    QFETCH(quint16, port);
    QFETCH(QByteArray, command);
    QCOMPARE(PortCommand(address, port), command);
}

void TestFtpClient::logonShowsEachStep() {
    QStringList progress;
    CFtpClient client([&](const QString& text) { progress.append(text); });
    client.SetSilenceTimeout(kRealServerSilenceMs);
    QVERIFY(client.Initialize());
    QVERIFY(client.Connect(m_server->Host(), kUser, kPassword, QString()));
    QCOMPARE(progress.size(), 4);
    QCOMPARE(progress[0], QStringLiteral("Connecting to %1 ...").arg(m_server->Host()));
    QVERIFY2(progress[1].startsWith(QStringLiteral("220 pyftpdlib")), qPrintable(progress[1]));
    QCOMPARE(progress.mid(2), L({"331 Username ok, send password.", "230 Login successful."}));
    QCOMPARE(client.LastCode(), 230);
    QCOMPARE(client.ErrorText(), QString());

    QVERIFY(client.Quit());
    QCOMPARE(progress.last(), QStringLiteral("221 Goodbye."));
    QVERIFY(!client.ChangeDirectory(QStringLiteral("books")));
}

void TestFtpClient::wrongPassword() {
    CFtpClient client;
    client.SetSilenceTimeout(kRealServerSilenceMs);
    QVERIFY(client.Initialize());
    QVERIFY(!client.Connect(m_server->Host(), kUser, QStringLiteral("wrong"), QString()));
    QCOMPARE(client.ErrorText(), QStringLiteral("tester@%1:FTP Logon Failure: 530 Authentication "
                                                "failed.")
                                     .arg(m_server->Host()));
    QVERIFY(client.Quit());
}

void TestFtpClient::changeDirectory_data() {
    QTest::addColumn<QString>("directory");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("error");
    QTest::newRow("existing") << QStringLiteral("books") << true << QString();
    QTest::newRow("absolute") << QStringLiteral("/books") << true << QString();
    QTest::newRow("missing") << QStringLiteral("missing") << false
                             << QStringLiteral("FTP Error: 550 No such file or directory.");
    QTest::newRow("line end inside") << QStringLiteral("books\r\nCWD missing") << false
                                     << QStringLiteral(
                                            "FTP Error: a command may not hold a "
                                            "line end");
}

void TestFtpClient::changeDirectory() {
    QFETCH(QString, directory);
    QFETCH(bool, changed);
    QFETCH(QString, error);
    CFtpClient client;
    client.SetSilenceTimeout(kRealServerSilenceMs);
    QVERIFY(client.Initialize());
    QVERIFY(client.Connect(m_server->Host(), kUser, kPassword, QString()));
    QCOMPARE(client.ChangeDirectory(directory), changed);
    QCOMPARE(client.ErrorText(), error);
    // Still in step with the server: the next command gets its own reply.
    QVERIFY(client.ChangeDirectory(QStringLiteral("/")));
    QCOMPARE(client.LastReply(), QStringLiteral("250 \"/\" is the current directory."));
    QVERIFY(client.Quit());
}

void TestFtpClient::retrieve_data() {
    QTest::addColumn<QString>("remoteName");
    QTest::addColumn<unsigned>("flags");
    QTest::addColumn<bool>("retrieved");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    const QString books = m_served.filePath(QStringLiteral("books/"));
    const QByteArray listing = ListingLine(books + QStringLiteral("Sales.add")) +
                               ListingLine(books + QStringLiteral("Team Members.add")) +
                               ListingLine(books + QStringLiteral("binary.dat"));
    const QByteArray old = "old contents";
    QTest::newRow("listing") << QStringLiteral("LIST") << 0u << true << listing << QString();
    QTest::newRow("book, ascii") << QStringLiteral("Sales.add") << unsigned(CFtpClient::kAscii)
                                 << true << kSalesBook << QString();
    QTest::newRow("LF book with blanks, ascii")
        << QStringLiteral("Team Members.add") << unsigned(CFtpClient::kAscii) << true
        << kTeamBookAscii << QString();
    QTest::newRow("LF book with blanks, image")
        << QStringLiteral("Team Members.add") << 0u << true << kTeamBook << QString();
    QTest::newRow("binary, image")
        << QStringLiteral("binary.dat") << 0u << true << BinaryBytes() << QString();
    QTest::newRow("missing") << QStringLiteral("absent.add") << unsigned(CFtpClient::kAscii)
                             << false << old
                             << QStringLiteral("FTP Error: 550 No such file or directory.");
}

void TestFtpClient::retrieve() {
    QFETCH(QString, remoteName);
    QFETCH(unsigned, flags);
    QFETCH(bool, retrieved);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    const QString local = m_local.filePath(QStringLiteral("copy"));
    WriteWholeFile(local, "old contents");
    CFtpClient client;
    client.SetSilenceTimeout(kRealServerSilenceMs);
    QVERIFY(client.Initialize());
    QVERIFY(client.Connect(m_server->Host(), kUser, kPassword, QString()));
    QVERIFY(client.ChangeDirectory(QStringLiteral("books")));
    if (remoteName == QStringLiteral("LIST"))
        QCOMPARE(client.List(local), retrieved);
    else
        QCOMPARE(client.Retrieve(local, remoteName, flags), retrieved);
    QCOMPARE(ReadWholeFile(local), bytes);
    QCOMPARE(client.ErrorText(), error);
    if (retrieved)
        QCOMPARE(client.LastReply(), QStringLiteral("226 Transfer complete."));
    QVERIFY(client.ChangeDirectory(QStringLiteral("/")));
    QVERIFY(client.Quit());
}

void TestFtpClient::scriptedLogon_data() {
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("progress");  // after "Connecting to ..."; empty: not checked
    QTest::addColumn<QString>("error");
    const QString noLine = QString(4089, u'x');
    QTest::newRow("120 before 220")
        << L({"send 120 Ready in a minute.", "send 220 Ready.", "recv", "send 331 Password.",
              "recv", "send 230 In."}) +
               Bye()
        << true << L({"USER u", "PASS p", "QUIT"})
        << L({"120 Ready in a minute.", "220 Ready.", "331 Password.", "230 In."}) << QString();
    QTest::newRow("220- before 220")
        << L({"send 220-Welcome", "send 220 Ready.", "recv", "send 331 Password.", "recv",
              "send 230 In."}) +
               Bye()
        << true << L({"USER u", "PASS p", "QUIT"})
        << L({"220-Welcome", "220 Ready.", "331 Password.", "230 In."}) << QString();
    QTest::newRow("230 to USER") << L({"send 220 Ready.", "recv", "send 230 No password."}) + Bye()
                                 << true << L({"USER u", "QUIT"})
                                 << L({"220 Ready.", "230 No password."}) << QString();
    QTest::newRow("332 to PASS") << L({"send 220 Ready.", "recv", "send 331 Password.", "recv",
                                       "send 332 Account.", "recv", "send 230 In."}) +
                                        Bye()
                                 << true << L({"USER u", "PASS p", "ACCT a", "QUIT"})
                                 << L({"220 Ready.", "331 Password.", "332 Account.",
                                       "Login to %HOST% ...", "230 In."})
                                 << QString();
    QTest::newRow("530 to PASS") << L({"send 220 Ready.", "recv", "send 331 Password.", "recv",
                                       "send 530 Not you."}) +
                                        Bye()
                                 << false << L({"USER u", "PASS p", "QUIT"}) << QStringList()
                                 << QStringLiteral("u@%HOST%:FTP Logon Failure: 530 Not you.");
    QTest::newRow("532 to ACCT") << L({"send 220 Ready.", "recv", "send 331 Password.", "recv",
                                       "send 332 Account.", "recv", "send 532 No such account."}) +
                                        Bye()
                                 << false << L({"USER u", "PASS p", "ACCT a", "QUIT"})
                                 << QStringList()
                                 << QStringLiteral(
                                        "u@%HOST%:FTP Logon Failure: 532 No such account.");
    QTest::newRow("longest greeting line")
        << QStringList{QStringLiteral("send 220 ") + noLine} + Logon().mid(1) + Bye() << true
        << L({"USER u", "PASS p", "QUIT"}) << QStringList() << QString();
    QTest::newRow("greeting line too long")
        << QStringList{QStringLiteral("send 220 x") + noLine} << false << QStringList()
        << QStringList() << QStringLiteral("FTP Error: a reply line is longer than 4095 bytes");
    QTest::newRow("closed in the middle of the greeting")
        << L({"part 220 Rea", "close"}) << false << QStringList() << QStringList()
        << QStringLiteral(
               "FTP Error: the server closed the connection in the middle of a "
               "reply line");
    QTest::newRow("silent") << QStringList() << false << QStringList() << QStringList()
                            << QStringLiteral(
                                   "FTP Error: the server sent no reply for 0.3 "
                                   "seconds");
}

void TestFtpClient::scriptedLogon() {
    QFETCH(QStringList, script);
    QFETCH(bool, connected);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, progress);
    QFETCH(QString, error);
    ScriptedServer server(script);
    QStringList shown;
    CFtpClient client([&](const QString& text) { shown.append(text); });
    client.SetSilenceTimeout(kShortSilenceMs);
    QVERIFY(client.Initialize());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(client.Connect(server.Host(), QStringLiteral("u"), QStringLiteral("p"),
                            QStringLiteral("a")),
             connected);
    QVERIFY(clock.elapsed() < TestTime(5000));
    QCOMPARE(client.ErrorText(), QString(error).replace(QStringLiteral("%HOST%"), server.Host()));
    QCOMPARE(shown.value(0), QStringLiteral("Connecting to %1 ...").arg(server.Host()));
    if (!progress.isEmpty())
        QCOMPARE(shown.mid(1), progress.replaceInStrings(QStringLiteral("%HOST%"), server.Host()));
    QVERIFY(client.Quit());
    QCOMPARE(server.Commands(), commands);
}

void TestFtpClient::replies_data() {
    QTest::addColumn<QStringList>("script");  // after the login
    QTest::addColumn<int>("silenceMs");
    QTest::addColumn<QStringList>("directories");
    QTest::addColumn<QList<bool>>("changed");
    QTest::addColumn<QStringList>("lastReplies");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("commands");  // after USER and PASS
    const int silence = 2000;
    QTest::newRow("inner line without dash ends the reply")
        << L({"recv", "send 250-First", "send  indented text", "send 250 Done.", "recv",
              "send 250 Second."}) +
               Bye()
        << silence << L({"a", "b"}) << QList<bool>{false, true}
        << L({" indented text", "250 Done."}) << QString() << L({"CWD a", "CWD b", "QUIT"});
    QTest::newRow("three digits alone end a reply")
        << L({"recv", "send 250-Start", "send 226", "recv", "send 250 Next."}) + Bye() << silence
        << L({"a", "b"}) << QList<bool>{true, true} << L({"226", "250 Next."}) << QString()
        << L({"CWD a", "CWD b", "QUIT"});
    QTest::newRow("dashes continue through other codes")
        << L({"recv", "send 250-a", "send 100-b", "send 550 Nope."}) + Bye() << silence << L({"a"})
        << QList<bool>{false} << L({"550 Nope."}) << QStringLiteral("FTP Error: 550 Nope.")
        << L({"CWD a", "QUIT"});
    QTest::newRow("trailing blanks, bare LF")
        << L({"recv", "part 250 Done.  \\t \\r\\n", "recv", "part 250 Bare.\\n"}) + Bye() << silence
        << L({"a", "b"}) << QList<bool>{true, true} << L({"250 Done.", "250 Bare."}) << QString()
        << L({"CWD a", "CWD b", "QUIT"});
    QTest::newRow("no number") << L({"recv", "send Hello there"}) + Bye() << silence << L({"a"})
                               << QList<bool>{false} << L({"Hello there"}) << QString()
                               << L({"CWD a", "QUIT"});
    QTest::newRow("error text stays after a success")
        << L({"recv", "send 550 No such directory.", "recv", "send 250 Ok."}) + Bye() << silence
        << L({"a", "b"}) << QList<bool>{false, true} << L({"550 No such directory.", "250 Ok."})
        << QStringLiteral("FTP Error: 550 No such directory.") << L({"CWD a", "CWD b", "QUIT"});
    QTest::newRow("line too long ends the connection")
        << QStringList{QStringLiteral("recv"), QStringLiteral("send 250 ") + QString(4090, u'x')}
        << silence << L({"a", "b"}) << QList<bool>{false, false} << L({"", ""})
        << QStringLiteral("FTP Error: a reply line is longer than 4095 bytes") << L({"CWD a"});
    QTest::newRow("closed in the middle of a line")
        << L({"recv", "part 250 Do", "close"}) << silence << L({"a", "b"})
        << QList<bool>{false, false} << L({"", ""})
        << QStringLiteral(
               "FTP Error: the server closed the connection in the middle of a "
               "reply line")
        << L({"CWD a"});
    QTest::newRow("closed between replies")
        << L({"recv", "close"}) << silence << L({"a"}) << QList<bool>{false} << L({""})
        << QStringLiteral("FTP Error: the server closed the connection") << L({"CWD a"});
    QTest::newRow("silent") << L({"recv"}) << kShortSilenceMs << L({"a"}) << QList<bool>{false}
                            << L({""})
                            << QStringLiteral(
                                   "FTP Error: the server sent no reply for 0.3 "
                                   "seconds")
                            << L({"CWD a"});
}

void TestFtpClient::replies() {
    QFETCH(QStringList, script);
    QFETCH(int, silenceMs);
    QFETCH(QStringList, directories);
    QFETCH(QList<bool>, changed);
    QFETCH(QStringList, lastReplies);
    QFETCH(QString, error);
    QFETCH(QStringList, commands);
    ScriptedServer server(Logon() + script);
    CFtpClient client;
    client.SetSilenceTimeout(silenceMs);
    QVERIFY(client.Initialize());
    QVERIFY(client.Connect(server.Host(), QStringLiteral("u"), QStringLiteral("p"), QString()));
    for (int i = 0; i < directories.size(); ++i) {
        QCOMPARE(client.ChangeDirectory(directories[i]), changed[i]);
        QCOMPARE(client.LastReply(), lastReplies[i]);
    }
    QCOMPARE(client.ErrorText(), error);
    QVERIFY(client.Quit());
    QCOMPARE(server.Commands().mid(2), commands);
}

void TestFtpClient::transfers_data() {
    QTest::addColumn<QStringList>("script");  // after the login
    QTest::addColumn<int>("silenceMs");
    QTest::addColumn<QString>("remoteName");
    QTest::addColumn<unsigned>("flags");
    QTest::addColumn<bool>("localCreatable");
    QTest::addColumn<bool>("retrieved");
    QTest::addColumn<QByteArray>("bytes");  // the local file afterwards
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("commands");  // after USER and PASS
    const int silence = 2000;
    const QString name = QStringLiteral("Sales.add");
    const unsigned ascii = CFtpClient::kAscii;
    const QByteArray old = "old";
    const QStringList setUp = L(
        {"recv", "send 200 Type set.", "recv", "send 200 Port set.", "recv", "send 150 Opening."});
    const QStringList retrA = L({"TYPE A", "PORT 127,0,0,1,*", "RETR Sales.add", "QUIT"});
    QTest::newRow("PORT refused, RETR succeeds")
        << L({"recv", "send 200 Type set.", "recv", "send 500 PORT not understood.", "recv",
              "send 150 Opening.", "data one\\r\\ntwo\\r\\n\\xff", "send 226 Done."}) +
               Bye()
        << silence << name << ascii << true << true << "one\r\ntwo\r\n\xff"_ba
        << QStringLiteral("FTP Error: 500 PORT not understood.") << retrA;
    QTest::newRow("PORT refused, RETR refused")
        << L({"recv", "send 200 Type set.", "recv", "send 500 PORT not understood.", "recv",
              "send 425 No data connection."}) +
               Bye()
        << silence << name << ascii << true << false << old
        << QStringLiteral("FTP Error: 425 No data connection.") << retrA;
    QTest::newRow("whole command, image")
        << setUp + L({"data a.add\\r\\n", "send 226 Done."}) + Bye() << silence
        << QStringLiteral("NLST *.add") << unsigned(CFtpClient::kCommand) << true << true
        << QByteArray("a.add\r\n") << QString()
        << L({"TYPE I", "PORT 127,0,0,1,*", "NLST *.add", "QUIT"});
    QTest::newRow("nothing sent empties the file")
        << setUp + L({"data ", "send 226 Done."}) + Bye() << silence << name << ascii << true
        << true << QByteArray("") << QString() << retrA;
    QTest::newRow("final reply fails")
        << setUp + L({"data partial", "send 451 Local error."}) + Bye() << silence << name << ascii
        << true << false << QByteArray("partial") << QStringLiteral("FTP Error: 451 Local error.")
        << retrA;
    // Nothing was written, whatever the server says; the reply is still read, so the
    // connection stays in step.
    const QString notWritten =
        QStringLiteral("FTP Error: can not write %LOCAL%: No such file or directory");
    QTest::newRow("local file not creatable, 226")
        << setUp + L({"data dropped", "send 226 Done."}) + Bye() << silence << name << ascii
        << false << false << QByteArray() << notWritten << retrA;
    QTest::newRow("local file not creatable, 426")
        << setUp + L({"data dropped", "send 426 Aborted."}) + Bye() << silence << name << ascii
        << false << false << QByteArray() << notWritten << retrA;
    // The late reply would be taken for the next command's: the connection is given up.
    QTest::newRow("no data connection")
        << setUp + L({"sleep 1000", "send 425 Too late."}) << kShortSilenceMs << name << ascii
        << true << false << old
        << QStringLiteral("FTP Error: the server opened no data connection for 0.3 seconds")
        << retrA.mid(0, 3);
    QTest::newRow("a stranger connects first")
        << setUp + L({"intrude forged", "data real", "send 226 Done."}) + Bye() << silence << name
        << ascii << true << true << QByteArray("real") << QString() << retrA;
    QTest::newRow("silent data connection")
        << setUp + L({"hold partial", "send 426 Aborted."}) + Bye() << kShortSilenceMs << name
        << ascii << true << false << QByteArray("partial")
        << QStringLiteral("FTP Error: the data connection was silent for 0.3 seconds") << retrA;
    QTest::newRow("silent after the data")
        << setUp + L({"data all"}) << kShortSilenceMs << name << ascii << true << false
        << QByteArray("all")
        << QStringLiteral("FTP Error: the server sent no reply for 0.3 seconds") << retrA.mid(0, 3);
    QTest::newRow("closed in the middle of the final reply")
        << setUp + L({"data all", "part 22", "close"}) << silence << name << ascii << true << false
        << QByteArray("all")
        << QStringLiteral(
               "FTP Error: the server closed the connection in the middle of a "
               "reply line")
        << retrA.mid(0, 3);
}

void TestFtpClient::transfers() {
    QFETCH(QStringList, script);
    QFETCH(int, silenceMs);
    QFETCH(QString, remoteName);
    QFETCH(unsigned, flags);
    QFETCH(bool, localCreatable);
    QFETCH(bool, retrieved);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QFETCH(QStringList, commands);
    const QString local = localCreatable ? m_local.filePath(QStringLiteral("copy"))
                                         : m_local.filePath(QStringLiteral("missing/copy"));
    if (localCreatable)
        WriteWholeFile(local, "old");
    ScriptedServer server(Logon() + script);
    CFtpClient client;
    client.SetSilenceTimeout(silenceMs);
    QVERIFY(client.Initialize());
    QVERIFY(client.Connect(server.Host(), QStringLiteral("u"), QStringLiteral("p"), QString()));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(client.Retrieve(local, remoteName, flags), retrieved);
    QVERIFY(clock.elapsed() < TestTime(5000));
    QCOMPARE(ReadWholeFile(local), bytes);
    QCOMPARE(QFileInfo::exists(local), localCreatable);
    QCOMPARE(client.ErrorText(), QString(error).replace(QStringLiteral("%LOCAL%"), local));
    QVERIFY(client.Quit());
    QCOMPARE(server.Commands().mid(2), commands);
}

void TestFtpClient::transferLimit() {
    // More than a transfer may bring ends it; the connection stays in step with the server.
    ScriptedServer server(Logon() +
                          L({"recv", "send 200 Type set.", "recv", "send 200 Port set.", "recv",
                             "send 150 Opening.", "data 0123456789", "send 426 Aborted."}) +
                          Bye());
    CFtpClient client;
    client.SetTransferLimit(5);
    QVERIFY(client.Initialize());
    QVERIFY(client.Connect(server.Host(), QStringLiteral("u"), QStringLiteral("p"), QString()));
    QVERIFY(!client.Retrieve(m_local.filePath(QStringLiteral("big")), QStringLiteral("big.add"),
                             CFtpClient::kAscii));
    QCOMPARE(client.ErrorText(), QStringLiteral("FTP Error: the transfer is larger than 5 bytes"));
    QCOMPARE(client.LastCode(), 426);
    QVERIFY(client.IsConnected());
    QVERIFY(client.Quit());
    QCOMPARE(client.LastCode(), 221);
    QCOMPARE(server.Commands().mid(2), L({"TYPE A", "PORT 127,0,0,1,*", "RETR big.add", "QUIT"}));
}

void TestFtpClient::timeBounds_data() {
    // Servers that never let a call end within the silence timeout: each line or byte comes in
    // time, but the reply or the whole run never ends.
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<int>("replyMs");
    QTest::addColumn<int>("runMs");  // -1: none
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("error");
    const auto repeated = [](const QStringList& steps) {
        QStringList all;
        for (int i = 0; i < 60; ++i)
            all += steps;
        return all;
    };
    const QString replyTooLong =
        QStringLiteral("FTP Error: the server's reply took longer than 1.2 seconds");
    const QString runOut = QStringLiteral("FTP Error: the retrieval took longer than 1.5 seconds");
    QTest::newRow("endless 1xx greeting")
        << repeated(L({"send 120 Wait a moment.", "sleep 100"})) << 1200 << -1
        << QStringLiteral("connect") << replyTooLong;
    QTest::newRow("greeting a byte at a time") << repeated(L({"part 2", "sleep 100"})) << 1200 << -1
                                               << QStringLiteral("connect") << replyTooLong;
    QTest::newRow("endless continuation lines")
        << Logon() + L({"recv"}) + repeated(L({"send 250-More.", "sleep 100"})) << 1200 << -1
        << QStringLiteral("cwd") << replyTooLong;
    QTest::newRow("run out in a greeting") << repeated(L({"send 120 Wait a moment.", "sleep 100"}))
                                           << 20000 << 1500 << QStringLiteral("connect") << runOut;
    QTest::newRow("run out in a transfer")
        << Logon() +
               L({"recv", "send 200 Type set.", "recv", "send 200 Port set.", "recv",
                  "send 150 Opening.",
                  "drip 100 xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx",
                  "send 226 Done."})
        << 20000 << 1500 << QStringLiteral("retrieve") << runOut;
}

void TestFtpClient::timeBounds() {
    QFETCH(QStringList, script);
    QFETCH(int, replyMs);
    QFETCH(int, runMs);
    QFETCH(QString, call);
    QFETCH(QString, error);
    ScriptedServer server(script);
    CFtpClient client;
    client.SetSilenceTimeout(kShortSilenceMs);
    client.SetReplyTimeout(replyMs);
    if (runMs >= 0)
        client.SetRunTimeout(runMs);
    QVERIFY(client.Initialize());
    QElapsedTimer clock;
    clock.start();
    bool done = client.Connect(server.Host(), QStringLiteral("u"), QStringLiteral("p"), QString());
    if (call == QStringLiteral("cwd"))
        done = client.ChangeDirectory(QStringLiteral("a"));
    else if (call == QStringLiteral("retrieve"))
        done = client.Retrieve(m_local.filePath(QStringLiteral("dripped")),
                               QStringLiteral("Sales.add"), CFtpClient::kAscii);
    QVERIFY(!done);
    QVERIFY2(clock.elapsed() < TestTime(3000), qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(client.ErrorText(), error);
    // Given up: nothing more is sent or waited for.
    QVERIFY(!client.IsConnected());
    QVERIFY(!client.ChangeDirectory(QStringLiteral("b")));
    QVERIFY(client.Quit());
}

void TestFtpClient::connectFailures_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("reason");
    QTest::newRow("nothing listens")
        << QStringLiteral("127.0.0.1:%1").arg(FreePort()) << QStringLiteral("Connection refused");
    QTest::newRow("unknown name") << QStringLiteral("no-such-host.invalid")
                                  << QStringLiteral("the server's name is unknown");
    QTest::newRow("port 0 is no port")
        << QStringLiteral("127.0.0.1:0") << QStringLiteral("the server's name is unknown");
    QTest::newRow("port beyond 65535") << QStringLiteral("127.0.0.1:%1").arg(65536 + FreePort())
                                       << QStringLiteral("the server's name is unknown");
    QTest::newRow("empty") << QString() << QStringLiteral("no server is given");
}

void TestFtpClient::connectFailures() {
    QFETCH(QString, host);
    QFETCH(QString, reason);
    QStringList shown;
    CFtpClient client([&](const QString& text) { shown.append(text); });
    QVERIFY(client.Initialize());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!client.Connect(host, kUser, kPassword, QString()));
    QVERIFY(clock.elapsed() < TestTime(10000));
    // Never an empty text: the box or log line says why.
    QVERIFY2(client.ErrorText().startsWith(QStringLiteral("FTP Error: can not connect to ") + host +
                                           QStringLiteral(": ") + reason),
             qPrintable(client.ErrorText()));
    QCOMPARE(shown, QStringList{QStringLiteral("Connecting to ") + host + QStringLiteral(" ...")});
    QVERIFY(client.Quit());
}

void TestFtpClient::busyGuard() {
    ScriptedServer server(Logon() + Bye());
    const QString local = m_local.filePath(QStringLiteral("guarded"));
    CFtpClient* self = nullptr;
    QList<bool> nested;
    QString errorInside;
    CFtpClient client([&](const QString&) {
        if (!nested.isEmpty())
            return;
        nested << self->Connect(server.Host(), QStringLiteral("u"), QStringLiteral("p"), QString())
               << self->ChangeDirectory(QStringLiteral("a")) << self->List(local)
               << self->Retrieve(local, QStringLiteral("b"), 0) << self->Quit();
        errorInside = self->ErrorText();
        nested << self->Initialize();
    });
    self = &client;
    client.SetSilenceTimeout(2000);
    QVERIFY(client.Initialize());
    QVERIFY(client.Connect(server.Host(), QStringLiteral("u"), QStringLiteral("p"), QString()));
    QCOMPARE(nested, (QList<bool>{false, false, false, false, false, false}));
    QCOMPARE(errorInside, QString());
    QCOMPARE(client.ErrorText(), QStringLiteral("Windows sockets initialization failed."));
    QVERIFY(!QFileInfo::exists(local));
    QVERIFY(client.Quit());
    QCOMPARE(server.Commands(), L({"USER u", "PASS p", "QUIT"}));
}

void TestFtpClient::cancelEndsAWaitAtOnce() {
    ScriptedServer server(L({"send 220 Ready.", "recv"}));
    QElapsedTimer clock;
    CFtpClient client;
    client.SetCancelCheck([&] { return clock.isValid() && clock.elapsed() > 200; });
    QVERIFY(client.Initialize());
    clock.start();
    QVERIFY(!client.Connect(server.Host(), QStringLiteral("u"), QStringLiteral("p"), QString()));
    // Far below the silence timeout of a minute.
    QVERIFY2(clock.elapsed() < TestTime(1000), qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(client.ErrorText(), QStringLiteral("FTP Error: cancelled"));
    QVERIFY(client.Quit());
    QCOMPARE(server.Commands(), L({"USER u"}));
}

void TestFtpClient::aHangingNameLookupEnds() {
    // The resolver would wait ten seconds for a name server that never answers.
    if (!m_noOwnNetwork.isEmpty())
        QSKIP(qPrintable(m_noOwnNetwork));
    silentdns::SilentNameServer nameServer;
    QVERIFY(nameServer.IsListening());
    const QString host = silentdns::kUnansweredName + QStringLiteral(":2121");
    QElapsedTimer clock;
    {
        CFtpClient client;
        client.SetCancelCheck([&] { return clock.elapsed() > 200; });
        clock.start();
        QVERIFY(!client.Connect(host, QStringLiteral("u"), QStringLiteral("p"), QString()));
        QVERIFY2(clock.elapsed() < TestTime(1500), qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(client.ErrorText(),
                 QStringLiteral("FTP Error: can not connect to %1: cancelled").arg(host));
    }
    {
        CFtpClient client;
        client.SetSilenceTimeout(500);
        clock.start();
        QVERIFY(!client.Connect(host, QStringLiteral("u"), QStringLiteral("p"), QString()));
        QVERIFY2(clock.elapsed() < TestTime(1500), qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(client.ErrorText(),
                 QStringLiteral("FTP Error: can not connect to %1: the server's name was not found "
                                "in 0.5 seconds")
                     .arg(host));
    }
}

void TestFtpClient::destructionQuits() {
    ScriptedServer server(Logon() + Bye());
    {
        CFtpClient client;
        client.SetSilenceTimeout(2000);
        QVERIFY(client.Initialize());
        QVERIFY(client.Connect(QStringLiteral("localhost:") + server.Host().section(u':', 1),
                               QStringLiteral("u"), QStringLiteral("p"), QString()));
    }
    QCOMPARE(server.Commands(), L({"USER u", "PASS p", "QUIT"}));
}

QUILLPAD_TEST_MAIN(TestFtpClient)
#include "TestFtpClient.moc"
