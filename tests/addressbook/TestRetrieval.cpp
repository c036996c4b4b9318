// Fetching the address books of a site's FTP server: the listing rule against listings of real
// servers, whole runs against pyftpdlib, and what real servers never send from a scripted one.
#include <sys/stat.h>

#include <QDir>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

#include "FtpServers.h"
#include "OrdinaryUser.h"
#include "TestSupport.h"
#include "addressbook/Retrieval.h"

using namespace Qt::StringLiterals;
using ftptest::RealServer;
using ftptest::ScriptedServer;

namespace {

// What a run reported, in order: message boxes as "box: text", log lines as they are.
class RecordingReport : public IRetrievalReport {
public:
    void Show(const QString& text) override { m_items.append(QStringLiteral("box: ") + text); }
    void Log(const QString& line) override { m_items.append(line); }
    QStringList m_items;
};

QStringList L(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

// "%I:%M %p - %x": the date ends in a digit whatever the locale's order and separators.
const QRegularExpression kTime(QStringLiteral("\\d\\d:\\d\\d [AP]M - [0-9./-]*[0-9]"));

// Replaces the time of each reported line by "TIME".
QStringList WithoutTimes(QStringList lines) {
    for (QString& line : lines)
        line.replace(kTime, QStringLiteral("TIME"));
    return lines;
}

// The files of a directory other than those a run may leave behind by design.
QStringList FilesIn(const QString& directory) {
    return QDir(directory).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

const QByteArray kSales = "Sales\r\nAnna Berg;192.168.1.20;6001;\r\n";
const QByteArray kOnLines = "On-Lines\r\nCarl;pc-carl;6001;\r\n";

}  // namespace

class TestRetrieval : public QObject {
    Q_OBJECT
private slots:
    void init();
    void listingRule_data();
    void listingRule();
    void longFormNames_data();
    void longFormNames();
    void plainFileNames();
    void receivedTexts();
    void getFetchesTheBooksOfALongListing();
    void booksThatCannotBeWrittenFail();
    void aTransferWithNowhereToGoKeepsTheBook();
    void updateLogsOneNotificationBlock();
    void updateLogsNothingWithoutBooks();
    void failures_data();
    void failures();
    void getGoesOnAfterAFailedDirectoryChange();
    void unsafeNamesAndBrokenTransfers();
    void aLostConnectionEndsTheRun();
    void hiddenNamesAreNotFetched();
    void noListingFileNoRun_data();
    void noListingFileNoRun();
    void cancelEndsTheRun();
    void aRunHasATimeLimit();

private:
    void Serve(const QMap<QString, QByteArray>& files);
    Retrieval::Target TargetFor(const QString& host, const QString& directory = u"/"_s) const;

    std::unique_ptr<QTemporaryDir> m_served;
    std::unique_ptr<QTemporaryDir> m_data;
};

void TestRetrieval::init() {
    m_served = std::make_unique<QTemporaryDir>();
    m_data = std::make_unique<QTemporaryDir>();
}

void TestRetrieval::Serve(const QMap<QString, QByteArray>& files) {
    for (auto it = files.begin(); it != files.end(); ++it) {
        QDir().mkpath(QFileInfo(m_served->filePath(it.key())).path());
        WriteWholeFile(m_served->filePath(it.key()), it.value());
    }
}

Retrieval::Target TestRetrieval::TargetFor(const QString& host, const QString& directory) const {
    return Retrieval::Target{host, ftptest::kUser, ftptest::kPassword, directory,
                             m_data->path() + u'/'};
}

void TestRetrieval::listingRule_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("names");
    // The served directory of these listings holds -dash.add, OL.add, Sales.add, TEAM.ADD,
    // "Team Members.add", address.txt, empty.add, notes.doc and the directory sub. The long
    // form keeps a name with blanks whole; the other forms give its last word.
    const QStringList sorted =
        L({"-dash.add", "OL.add", "Sales.add", "Team Members.add", "address.txt", "empty.add"});
    QStringList lastWord = sorted;
    lastWord.replaceInStrings(u"Team Members.add"_s, u"Members.add"_s);
    QTest::newRow("pyftpdlib long listing") << u"pyftpdlib-LIST.txt"_s << sorted;
    QTest::newRow("vsftpd long listing") << u"vsftpd-LIST.txt"_s << sorted;
    QTest::newRow("vsftpd with . and ..") << u"vsftpd-LIST-a.txt"_s << sorted;
    QTest::newRow("GNU ls with a total line") << u"gnu-ls-l-full.txt"_s << sorted;
    QTest::newRow("GNU ls, three books")
        << u"gnu-ls-l-total12.txt"_s << L({"OL.add", "Sales.add", "Team Members.add"});
    QTest::newRow("MS-DOS style") << u"dos-iis.txt"_s << lastWord;
    QTest::newRow("MS-DOS style, long years") << u"dos-iis-4digit-year.txt"_s << lastWord;
    QTest::newRow("facts then name")
        << u"pyftpdlib-MLSD.txt"_s
        << L({"empty.add", "OL.add", "Members.add", "-dash.add", "address.txt", "Sales.add"});
    QTest::newRow("bare names stop at once") << u"pyftpdlib-NLST.txt"_s << QStringList();
    QTest::newRow("bare names") << u"bare-names.txt"_s << QStringList();
    QTest::newRow("bare names, LF, no last line end")
        << u"bare-names-lf-noeol.txt"_s << QStringList();
    QTest::newRow("empty directory") << u"pyftpdlib-LIST-sub-empty.txt"_s << QStringList();
}

void TestRetrieval::listingRule() {
    QFETCH(QString, file);
    QFETCH(QStringList, names);
    const QByteArray listing = ReadWholeFile(QStringLiteral(QUILLPAD_TEST_DATA "/ftp/") + file);
    QVERIFY(!listing.isEmpty() || file.contains(u"empty"_s));
    QCOMPARE(Retrieval::ParseListing(listing), names);

    // Reading stops at the first line without a blank, wherever it is.
    QCOMPARE(Retrieval::ParseListing("a b.add\nloose.add\nc d.add\n"), L({"b.add"}));
    QCOMPARE(Retrieval::ParseListing("x y.add\r\n\r\nz w.add\r\n"), L({"y.add"}));
    QCOMPARE(Retrieval::ParseListing("x Add.txt\nx book.Add\nx madder\n"), L({"madder"}));
}

void TestRetrieval::longFormNames_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("name");
    QTest::newRow("vsftpd, blank in the name")
        << "-rw-r--r--    1 1001     1001           78 Dec 01 09:15 Field Staff.add\r"_ba
        << u"Field Staff.add"_s;
    QTest::newRow("year, two blanks inside")
        << "-rw-r--r-- 1 o g 25 Jul 04  2023 Two  Blanks.add"_ba << u"Two  Blanks.add"_s;
    QTest::newRow("blank-padded day")
        << "-rw-r--r-- 1 o g 25 Jul  4  2023 Field Staff.add"_ba << u"Field Staff.add"_s;
    QTest::newRow("no group column")
        << "-rw-r--r-- 1 owner 78 Dec 01 09:15 Field Staff.add"_ba << u"Field Staff.add"_s;
    QTest::newRow("access list mark")
        << "-rw-r--r--+ 1 o g 78 Dec 01 09:15 Field Staff.add"_ba << u"Field Staff.add"_s;
    QTest::newRow("a name that looks like a date")
        << "-rw-r--r-- 1 o g 5 Dec 01 09:15 7 Dec 01 09:15 x.add"_ba << u"7 Dec 01 09:15 x.add"_s;
    QTest::newRow("a link names itself, not its target")
        << "lrwxrwxrwx 1 o g 9 Dec 01 09:15 Staff Link.add -> Sales.add"_ba << u"Staff Link.add"_s;
    QTest::newRow("trailing blank kept")
        << "-rw-r--r-- 1 o g 5 Dec 01 09:15 Staff.add "_ba << u"Staff.add "_s;
    QTest::newRow("owner with digits and month-like group")
        << "-rw-r--r-- 1 1001 Jan 78 Dec 01 09:15 Field Staff.add"_ba << u"Field Staff.add"_s;
    QTest::newRow("MS-DOS style stays the last word")
        << "12-01-26  09:15AM                   78 Field Staff.add"_ba << u"Staff.add"_s;
    QTest::newRow("other lines stay the last word") << "x y Field Staff.add"_ba << u"Staff.add"_s;
}

void TestRetrieval::longFormNames() {
    QFETCH(QByteArray, line);
    QFETCH(QString, name);
    QCOMPARE(Retrieval::ParseListing(line + '\n'), QStringList{name});
    QCOMPARE(Retrieval::ParseListing(line), QStringList{name});
}

void TestRetrieval::plainFileNames() {
    for (const char* name : {"Sales.add", "-dash.add", "..add", "a..add"})
        QVERIFY2(Retrieval::IsPlainFileName(QString::fromUtf8(name)), name);
    for (const char* name : {"", ".", "..", "../evil.add", "sub/x.add", "/etc/x.add", "..\\x.add"})
        QVERIFY2(!Retrieval::IsPlainFileName(QString::fromUtf8(name)), name);
}

void TestRetrieval::receivedTexts() {
    QCOMPARE(Retrieval::ReceivedText(1), u"You have received 1 address book."_s);
    QCOMPARE(Retrieval::ReceivedText(2), u"You have received 2 address books."_s);
    QCOMPARE(Retrieval::ReceivedNotification(1, u"09:05 AM - 12/07/26"_s),
             u"You have received 1 address book @ 09:05 AM - 12/07/26."_s);
    QCOMPARE(Retrieval::ReceivedNotification(12, u"T"_s),
             u"You have received 12 address books @ T."_s);
}

void TestRetrieval::getFetchesTheBooksOfALongListing() {
    Serve({{u"books/Sales.add"_s, kSales},
           {u"books/OL.add"_s, kOnLines},
           {u"books/TEAM.ADD"_s, "Team\r\n"},
           {u"books/address.txt"_s, "Address\r\n"},
           {u"books/Team Members.add"_s, "Members\r\n"},
           {u"books/notes.doc"_s, "notes"},
           {u"Other.add"_s, "not in the directory"}});
    QDir().mkpath(m_served->filePath(u"books/sub.add"_s));  // a directory that looks like a book
    WriteWholeFile(m_data->filePath(u"OL.add"_s), "On-Lines\r\nold;old;1;\r\n");
    WriteWholeFile(m_data->filePath(u"Members.add"_s), "kept");
    RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);

    RecordingReport report;
    QStringList progress;
    const int count =
        Retrieval::Run(TargetFor(server.Host(), u"/books/"_s), Retrieval::Mode::Interactive, report,
                       [&](const QString& text) { progress.append(text); });

    QCOMPARE(count, 4);
    QCOMPARE(ReadWholeFile(m_data->filePath(u"Sales.add"_s)), kSales);
    QCOMPARE(ReadWholeFile(m_data->filePath(u"OL.add"_s)), kOnLines);  // the server's list wins
    QCOMPARE(ReadWholeFile(m_data->filePath(u"address.txt"_s)), "Address\r\n"_ba);
    // A name with a blank comes whole, and a book named after its last word stays.
    QCOMPARE(ReadWholeFile(m_data->filePath(u"Team Members.add"_s)), "Members\r\n"_ba);
    QCOMPARE(ReadWholeFile(m_data->filePath(u"Members.add"_s)), "kept"_ba);
    // Only the books came; the listing file is gone, no partial copy is left.
    QCOMPARE(FilesIn(m_data->path()),
             L({"Members.add", "OL.add", "Sales.add", "Team Members.add", "address.txt"}));
    // The directory fails with the server's words and its name; nothing else is shown.
    QCOMPARE(report.m_items.size(), 1);
    QVERIFY2(report.m_items[0].startsWith(u"box: FTP Error: 550 "_s) &&
                 report.m_items[0].endsWith(u" (retrieving /books/sub.add)"_s),
             qPrintable(report.m_items[0]));
    QVERIFY(!progress.isEmpty());
}

void TestRetrieval::booksThatCannotBeWrittenFail() {
    Serve({{u"Sales.add"_s, kSales}, {u"Team.add"_s, "Team\r\n"}, {u"Taken.add"_s, "x\r\n"}});
    WriteWholeFile(m_data->filePath(u"Team.add"_s), "old");
    QCOMPARE(::chmod(QFile::encodeName(m_data->filePath(u"Team.add"_s)).constData(), 0640), 0);
    QDir().mkpath(m_data->filePath(u"Taken.add/inside"_s));  // no book can take its place
    RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);

    RecordingReport report;
    QCOMPARE(Retrieval::Run(TargetFor(server.Host()), Retrieval::Mode::Interactive, report), 2);
    QCOMPARE(report.m_items.size(), 1);
    QVERIFY2(
        report.m_items[0].startsWith(u"box: Can not write "_s + m_data->path() + u"/Taken.add: "_s),
        qPrintable(report.m_items[0]));
    QVERIFY(QFileInfo(m_data->filePath(u"Taken.add"_s)).isDir());
    // A replaced book keeps its permissions; a new one gets a new file's, not a private file's.
    QCOMPARE(ReadWholeFile(m_data->filePath(u"Team.add"_s)), "Team\r\n"_ba);
    const auto mode = [this](const QString& name) {
        struct stat made = {};
        ::stat(QFile::encodeName(m_data->filePath(name)).constData(), &made);
        return made.st_mode & 07777;
    };
    QCOMPARE(mode(u"Team.add"_s), 0640u);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    QCOMPARE(mode(u"Sales.add"_s), 0666u & ~mask);
    QCOMPARE(FilesIn(m_data->path()), L({"Sales.add", "Team.add"}));  // no part file is left
}

void TestRetrieval::aTransferWithNowhereToGoKeepsTheBook() {
    // The part file is taken away just before the data arrive and is back, empty, before the
    // server's 226: nothing was written, so the book must stay as it was.
    ScriptedServer server(ftptest::ScriptServerPath(), L({"send 220 Ready.",
                                                          "recv",
                                                          "send 331 Password required.",
                                                          "recv",
                                                          "send 230 Logged in.",
                                                          "recv",
                                                          "send 250 Directory changed.",
                                                          "recv",
                                                          "send 200 Type set.",
                                                          "recv",
                                                          "send 200 Port set.",
                                                          "recv",
                                                          "send 150 Opening.",
                                                          "data x 1 Sales.add\\r\\n",
                                                          "send 226 Done.",
                                                          "recv",
                                                          "send 200 Type set.",
                                                          "recv",
                                                          "send 200 Port set.",
                                                          "recv",
                                                          "send 150 Opening.",
                                                          "data new book",
                                                          "send 226 Done.",
                                                          "recv",
                                                          "send 221 Bye."}));
    QVERIFY(server.Port() != 0);
    WriteWholeFile(m_data->filePath(u"Sales.add"_s), kSales);
    const auto progress = [this](const QString& text) {
        const QStringList parts =
            QDir(m_data->path()).entryList({u".qpd-part-*"_s}, QDir::AllEntries | QDir::Hidden);
        if (parts.isEmpty())
            return;
        const QString part = m_data->filePath(parts.first());
        if (text.startsWith(u"150"_s) && QFile::remove(part)) {
            QDir().mkdir(part);
        } else if (text.startsWith(u"226"_s) && QFileInfo(part).isDir()) {
            QDir().rmdir(part);
            WriteWholeFile(part, QByteArray());
        }
    };
    RecordingReport report;
    QCOMPARE(
        Retrieval::Run(TargetFor(server.Host()), Retrieval::Mode::Interactive, report, progress),
        0);
    QCOMPARE(report.m_items.size(), 1);
    QVERIFY2(report.m_items[0].startsWith(u"box: FTP Error: can not write "_s),
             qPrintable(report.m_items[0]));
    QCOMPARE(ReadWholeFile(m_data->filePath(u"Sales.add"_s)), kSales);
    QCOMPARE(FilesIn(m_data->path()), L({"Sales.add"}));
}

void TestRetrieval::updateLogsOneNotificationBlock() {
    Serve({{u"Sales.add"_s, kSales}, {u"Team.add"_s, "Team\r\n"}, {u"readme"_s, "x"}});
    RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);

    RecordingReport report;
    QCOMPARE(Retrieval::Run(TargetFor(server.Host()), Retrieval::Mode::Periodic, report), 2);
    QCOMPARE(report.m_items.size(), 2);
    QCOMPARE(report.m_items[0],
             u"------------------------ Notification Message ------------------------ "_s);
    QVERIFY2(WithoutTimes(report.m_items).at(1) == u"You have received 2 address books @ TIME."_s,
             qPrintable(report.m_items[1]));
    QCOMPARE(FilesIn(m_data->path()), L({"Sales.add", "Team.add"}));
}

void TestRetrieval::updateLogsNothingWithoutBooks() {
    Serve({{u"TEAM.ADD"_s, "Team\r\n"}, {u"readme"_s, "x"}});
    RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);
    RecordingReport report;
    QCOMPARE(Retrieval::Run(TargetFor(server.Host()), Retrieval::Mode::Periodic, report), 0);
    QCOMPARE(report.m_items, QStringList());
    QCOMPARE(FilesIn(m_data->path()), QStringList());
}

void TestRetrieval::failures_data() {
    QTest::addColumn<bool>("periodic");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("reported");  // times as TIME, the server's words cut off
    QTest::addColumn<int>("count");
    const QString separator =
        u"------------------------ Notification Message ------------------------ "_s;
    QTest::newRow("update, wrong password")
        << true << u"wrong"_s << u"/"_s
        << QStringList{separator, u"FTP Can not connect to HOST as tester @ TIME"_s,
                       u"tester@HOST:FTP Logon Failure: 530"_s}
        << 0;
    QTest::newRow("get, wrong password")
        << false << u"wrong"_s << u"/"_s
        << QStringList{u"box: tester@HOST:FTP Logon Failure: 530"_s} << 0;
    QTest::newRow("update, no such directory")
        << true << ftptest::kPassword << u"/missing/"_s
        << QStringList{separator, u"FTP Can not change directory to /missing/"_s,
                       u"FTP Error: 550"_s}
        << 0;
}

void TestRetrieval::failures() {
    QFETCH(bool, periodic);
    QFETCH(QString, password);
    QFETCH(QString, directory);
    QFETCH(QStringList, reported);
    QFETCH(int, count);
    Serve({{u"Sales.add"_s, kSales}});
    RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);
    Retrieval::Target target = TargetFor(server.Host(), directory);
    target.m_strPassword = password;
    RecordingReport report;
    QCOMPARE(
        Retrieval::Run(target, periodic ? Retrieval::Mode::Periodic : Retrieval::Mode::Interactive,
                       report),
        count);
    QStringList seen = WithoutTimes(report.m_items);
    for (QString& line : seen) {
        line.replace(server.Host(), u"HOST"_s);
        // The server's own words after its reply code differ between versions.
        line.replace(QRegularExpression(u"^(.*(?:Failure: |Error: )\\d\\d\\d)[ -].*$"_s), u"\\1"_s);
    }
    QCOMPARE(seen, reported);
    QCOMPARE(FilesIn(m_data->path()), QStringList());
}

void TestRetrieval::getGoesOnAfterAFailedDirectoryChange() {
    // The listing comes from the first directory, the names are still asked for in the
    // configured one, so each fails.
    Serve({{u"Sales.add"_s, kSales}, {u"Team.add"_s, "Team\r\n"}});
    RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);
    RecordingReport report;
    QCOMPARE(Retrieval::Run(TargetFor(server.Host(), u"/missing/"_s), Retrieval::Mode::Interactive,
                            report),
             0);
    QCOMPARE(report.m_items.size(), 3);
    for (const QString& item : report.m_items)
        QVERIFY2(item.startsWith(u"box: FTP Error: 550 "_s), qPrintable(item));
    // Each failed book says which it was.
    QVERIFY2(report.m_items[1].endsWith(u" (retrieving /missing/Sales.add)"_s),
             qPrintable(report.m_items[1]));
    QVERIFY2(report.m_items[2].endsWith(u" (retrieving /missing/Team.add)"_s),
             qPrintable(report.m_items[2]));
    QCOMPARE(FilesIn(m_data->path()), QStringList());
}

void TestRetrieval::unsafeNamesAndBrokenTransfers() {
    // A listing with names that would land outside the data directory, and a book whose
    // transfer breaks off: neither may touch a file.
    const QString listing =
        u"-rw-r--r-- 1 a b 5 Jul 04  2023 ../../.config/autostart/x-add.desktop\\r\\n"
        "-rw-r--r-- 1 a b 5 Jul 04  2023 ..\\\\evil.add\\r\\n"
        "-rw-r--r-- 1 a b 5 Jul 04  2023 Sales.add\\r\\n"
        "-rw-r--r-- 1 a b 5 Jul 04  2023 Team.add\\r\\n"_s;
    QStringList steps =
        L({"send 220 Ready.", "recv", "send 331 Password required.", "recv", "send 230 Logged in.",
           "recv", "send 250 Directory changed.", "recv", "send 200 Type set.", "recv",
           "send 200 Port set.", "recv", "send 150 Opening."});
    steps << u"data "_s + listing;
    steps << L({"send 226 Done.", "recv", "send 200 Type set.", "recv", "send 200 Port set.",
                "recv", "send 150 Opening.", "data half a bo", "send 426 Connection broken.",
                "recv", "send 200 Type set.", "recv", "send 200 Port set.", "recv",
                "send 150 Opening.", "data Team\\r\\n", "send 226 Done.", "recv",
                "send 221 Goodbye."});
    ScriptedServer server(ftptest::ScriptServerPath(), steps);
    QVERIFY(server.Port() != 0);
    WriteWholeFile(m_data->filePath(u"Sales.add"_s), kSales);

    RecordingReport report;
    QCOMPARE(
        Retrieval::Run(TargetFor(server.Host(), u"/books/"_s), Retrieval::Mode::Periodic, report),
        1);
    QCOMPARE(
        WithoutTimes(report.m_items),
        (QStringList{
            u"FTP Error: \"../../.config/autostart/x-add.desktop\" is not a plain file name; it "
            "was not retrieved"_s,
            u"FTP Error: \"..\\evil.add\" is not a plain file name; it was not retrieved"_s,
            u"FTP Error: 426 Connection broken. (retrieving /books/Sales.add)"_s,
            u"------------------------ Notification Message ------------------------ "_s,
            u"You have received 1 address book @ TIME."_s}));
    QCOMPARE(server.Commands(),
             L({"USER tester", "PASS secret", "CWD /books/", "TYPE A", "PORT 127,0,0,1,*", "LIST",
                "TYPE A", "PORT 127,0,0,1,*", "RETR /books/Sales.add", "TYPE A", "PORT 127,0,0,1,*",
                "RETR /books/Team.add", "QUIT"}));
    // The broken transfer left the old book as it was.
    QCOMPARE(ReadWholeFile(m_data->filePath(u"Sales.add"_s)), kSales);
    QCOMPARE(ReadWholeFile(m_data->filePath(u"Team.add"_s)), "Team\r\n"_ba);
    QCOMPARE(FilesIn(m_data->path()), L({"Sales.add", "Team.add"}));
}

void TestRetrieval::aLostConnectionEndsTheRun() {
    // Once the server is gone, the other books are not tried: one message, not one per book.
    QStringList steps = L(
        {"send 220 Ready.", "recv", "send 331 Password required.", "recv", "send 230 Logged in.",
         "recv", "send 250 Directory changed.", "recv", "send 200 Type set.", "recv",
         "send 200 Port set.", "recv", "send 150 Opening.",
         "data x 1 A.add\\r\\nx 1 B.add\\r\\nx 1 C.add\\r\\n", "send 226 Done.", "recv", "close"});
    ScriptedServer server(ftptest::ScriptServerPath(), steps);
    QVERIFY(server.Port() != 0);
    RecordingReport report;
    QCOMPARE(Retrieval::Run(TargetFor(server.Host()), Retrieval::Mode::Interactive, report), 0);
    QCOMPARE(report.m_items,
             L({"box: FTP Error: the server closed the connection (retrieving /A.add)"}));
    QCOMPARE(server.Commands(), L({"USER tester", "PASS secret", "CWD /", "TYPE A",
                                   "PORT 127,0,0,1,*", "LIST", "TYPE A"}));
    QCOMPARE(FilesIn(m_data->path()), QStringList());
}

void TestRetrieval::hiddenNamesAreNotFetched() {
    // The program's own lock and part files begin with "."; a served one must not replace them.
    Serve({{u".OL.add.lock"_s, "served lock"},
           {u".hidden.add"_s, "Hidden\r\n"},
           {u"Sales.add"_s, kSales}});
    WriteWholeFile(m_data->filePath(u".OL.add.lock"_s), "ours");
    RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);
    RecordingReport report;
    QCOMPARE(Retrieval::Run(TargetFor(server.Host()), Retrieval::Mode::Periodic, report), 1);
    QCOMPARE(
        WithoutTimes(report.m_items),
        (QStringList{u"------------------------ Notification Message ------------------------ "_s,
                     u"You have received 1 address book @ TIME."_s}));
    QCOMPARE(ReadWholeFile(m_data->filePath(u".OL.add.lock"_s)), "ours"_ba);
    QCOMPARE(FilesIn(m_data->path()), L({".OL.add.lock", "Sales.add"}));
}

void TestRetrieval::noListingFileNoRun_data() {
    QTest::addColumn<bool>("writable");  // else: the directory takes no new file
    QTest::addColumn<bool>("deep");      // a path with room for "qpd" but for no longer name
    QTest::newRow("data directory not writable") << false << false;
    QTest::newRow("no room for a longer name") << true << true;
}

void TestRetrieval::noListingFileNoRun() {
    // No listing file can be made in the data directory; the user's own file named "qpd" must
    // stay as it was, and the server is not asked for anything.
    QFETCH(bool, writable);
    QFETCH(bool, deep);
    QString directory = m_data->path();
    if (deep) {
        constexpr int kPathMax = 4096;  // with the closing zero
        while (directory.size() < kPathMax - 8 - 250)
            directory += u'/' + QString(200, u'd');
        directory += u'/' + QString(kPathMax - 9 - directory.size(), u'e');
        QVERIFY(QDir().mkpath(directory));
    }
    const QString data = directory + u'/';
    WriteWholeFile(data + u"qpd"_s, "mine");
    QCOMPARE(ReadWholeFile(data + u"qpd"_s), "mine"_ba);
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (!writable)
        QVERIFY(QFile::setPermissions(directory, QFile::ReadOwner | QFile::ExeOwner));
    Serve({{u"Sales.add"_s, kSales}});
    RealServer server(m_served->path());
    QVERIFY(server.Port() != 0);
    Retrieval::Target target = TargetFor(server.Host());
    target.m_strDataDirectory = data;

    for (const auto mode : {Retrieval::Mode::Periodic, Retrieval::Mode::Interactive}) {
        RecordingReport report;
        int count = -1;
        AsOrdinaryUser([&] { count = Retrieval::Run(target, mode, report); });
        QCOMPARE(ReadWholeFile(data + u"qpd"_s), "mine"_ba);
        QCOMPARE(count, 0);
        QCOMPARE(report.m_items.size(), 1);
        const QString expected = u"Can't make a file in %1 to look for address books: "_s.arg(data);
        QVERIFY2(report.m_items[0].startsWith(
                     mode == Retrieval::Mode::Interactive ? u"box: "_s + expected : expected),
                 qPrintable(report.m_items[0].right(160)));
        QCOMPARE(FilesIn(directory), L({"qpd"}));
    }
    // Logged in, and out again: no directory was changed or listed.
    const QByteArray log = server.Log();
    QVERIFY2(!log.contains("CWD") && !log.contains("LIST"), log.constData());
}

void TestRetrieval::cancelEndsTheRun() {
    // A server that accepts and never greets: the run ends as soon as it is cancelled.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    std::atomic<bool> cancelled = false;
    RecordingReport report;
    QElapsedTimer clock;
    clock.start();
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancelled = true;
    });
    const int count =
        Retrieval::Run(TargetFor(u"127.0.0.1:%1"_s.arg(silent.serverPort())),
                       Retrieval::Mode::Periodic, report, {}, [&] { return cancelled.load(); });
    canceller.join();
    QCOMPARE(count, 0);
    QVERIFY2(clock.elapsed() < TestTime(5000), qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(FilesIn(m_data->path()), QStringList());
}

void TestRetrieval::aRunHasATimeLimit() {
    // Every reply comes in time, but thirty books answered slowly would take six seconds.
    QStringList steps =
        L({"send 220 Ready.", "recv", "send 331 Password required.", "recv", "send 230 Logged in.",
           "recv", "send 250 Directory changed.", "recv", "send 200 Type set.", "recv",
           "send 200 Port set.", "recv", "send 150 Opening."});
    QString listing;
    for (int i = 0; i < 30; ++i)
        listing += u"x 1 B%1.add\\r\\n"_s.arg(i, 2, 10, QChar(u'0'));
    steps << u"data "_s + listing << u"send 226 Done."_s;
    for (int i = 0; i < 30; ++i)
        steps << L({"recv", "send 200 Type set.", "recv", "send 200 Port set.", "recv", "sleep 200",
                    "send 550 No such file."});
    steps << L({"recv", "send 221 Bye."});
    ScriptedServer server(ftptest::ScriptServerPath(), steps);
    QVERIFY(server.Port() != 0);
    Retrieval::Limits limits;
    limits.m_nRunMs = 1500;
    RecordingReport report;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(Retrieval::Run(TargetFor(server.Host()), Retrieval::Mode::Interactive, report, {}, {},
                            limits),
             0);
    QVERIFY2(clock.elapsed() < TestTime(3000), qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!report.m_items.isEmpty() && report.m_items.size() < 30);
    QVERIFY2(report.m_items.last().startsWith(
                 u"box: FTP Error: the retrieval took longer than 1.5 seconds (retrieving /B"_s),
             qPrintable(report.m_items.last()));
    QCOMPARE(FilesIn(m_data->path()), QStringList());
}

QUILLPAD_TEST_MAIN(TestRetrieval)
#include "TestRetrieval.moc"
