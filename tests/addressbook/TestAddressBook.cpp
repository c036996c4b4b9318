#include <QtTest>
#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "addressbook/AddressBook.h"

namespace {

QString Path(const QTemporaryDir& dir, const char* name) {
    return dir.path() + QLatin1Char('/') + QLatin1String(name);
}

QStringList L(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

QStringList Names(const QList<AddressEntry>& entries) {
    QStringList names;
    for (const AddressEntry& entry : entries)
        names.append(entry.m_strName);
    return names;
}

}  // namespace

class TestAddressBook : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void bookFileForm();
    void entryLines_data();
    void entryLines();
    void readingAWholeBook();
    void listingSortsByDescription_data();
    void listingSortsByDescription();
    void listingRecognisesFilesAndLists();
    void pushKeepsNewestFirstAndAtMostThirty();
    void pushReplacesTheSameNameWhateverItsCase();
    void pushCreatesAMissingList();
    void pushesFromThreadsAndProcessesAreNotLost();
    void readerNeverSeesAHalfWrittenBook();
};

void TestAddressBook::bookFileForm() {
    QTemporaryDir dir;
    const QString path = Path(dir, "sales.add");
    QVERIFY(
        WriteAddressBook(path, QStringLiteral("Sales floor"),
                         {{QStringLiteral("Anna"), QStringLiteral("10.1.2.3"), 6001},
                          {QStringLiteral("Build server"), QStringLiteral("buildhost"), 6001}}));
    QCOMPARE(ReadWholeFile(path),
             QByteArray("Sales floor\r\nAnna;10.1.2.3;6001;\r\nBuild server;buildhost;6001;"));
    QVERIFY(CreateAddressBook(path, QStringLiteral("Empty book")));
    QCOMPARE(ReadWholeFile(path), QByteArray("Empty book"));
    QCOMPARE(ReadBookEntries(path)->size(), 0);

    ResetRecentLists(dir.path() + QLatin1Char('/'));
    QCOMPARE(ReadWholeFile(Path(dir, "OL.add")), QByteArray("On-Lines"));
    QCOMPARE(ReadWholeFile(Path(dir, "LS.add")), QByteArray("Last Senders"));
}

void TestAddressBook::entryLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("isEntry");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::newRow("plain") << QByteArray("Anna;10.1.2.3;6001;") << true << QStringLiteral("Anna")
                           << QStringLiteral("10.1.2.3") << 6001;
    QTest::newRow("name with separator")
        << QByteArray("Smith; John;host1;6001;") << true << QStringLiteral("Smith; John")
        << QStringLiteral("host1") << 6001;
    QTest::newRow("port of letters")
        << QByteArray("A;h;abc;") << true << QStringLiteral("A") << QStringLiteral("h") << 0;
    QTest::newRow("blank, digits, letter")
        << QByteArray("A;h; 123x;") << true << QStringLiteral("A") << QStringLiteral("h") << 123;
    QTest::newRow("signed port") << QByteArray("A;h;-7;") << true << QStringLiteral("A")
                                 << QStringLiteral("h") << -7;
    QTest::newRow("huge port") << QByteArray("A;h;99999999999;") << true << QStringLiteral("A")
                               << QStringLiteral("h") << 2147483647;
    QTest::newRow("text after the last separator")
        << QByteArray("A;h;6001;junk") << true << QStringLiteral("A") << QStringLiteral("h")
        << 6001;
    QTest::newRow("empty name") << QByteArray(";h;6001;") << true << QString()
                                << QStringLiteral("h") << 6001;
    QTest::newRow("non-ASCII") << QByteArray("Zo\xc3\xab;h\xc3\xb6st;1;") << true
                               << QStringLiteral("Zoë") << QStringLiteral("höst") << 1;
    QTest::newRow("two separators")
        << QByteArray("A;h;6001") << false << QString() << QString() << 0;
    QTest::newRow("empty line") << QByteArray() << false << QString() << QString() << 0;
    QTest::newRow("over-long") << QByteArray(5000, 'x') + ";h;1;" << false << QString() << QString()
                               << 0;
    QTest::newRow("long but within limit")
        << QByteArray(200, 'n') + ";h;1;" << true << QString(200, u'n') << QStringLiteral("h") << 1;
}

void TestAddressBook::entryLines() {
    QFETCH(QByteArray, line);
    QFETCH(bool, isEntry);
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(int, port);
    const std::optional<AddressEntry> entry = BookFormat::ParseLine(line);
    QCOMPARE(entry.has_value(), isEntry);
    if (!entry)
        return;
    QCOMPARE(entry->m_strName, name);
    QCOMPARE(entry->m_strAddress, address);
    QCOMPARE(entry->m_nPort, port);
}

void TestAddressBook::readingAWholeBook() {
    QTemporaryDir dir;
    const QString path = Path(dir, "hand.add");
    // Edited by hand: LF and CR LF mixed, a blank line, a damaged line, a trailing line end.
    WriteWholeFile(path, "Hand made\nAnna;a;1;\r\n\r\nno separators here\nBen;b;2;\n");
    const std::optional<QList<AddressEntry>> entries = ReadBookEntries(path);
    QVERIFY(entries);
    QCOMPARE(Names(*entries), (QStringList{QStringLiteral("Anna"), QStringLiteral("Ben")}));
    QVERIFY(!ReadBookEntries(Path(dir, "missing.add")));
}

void TestAddressBook::listingSortsByDescription_data() {
    QTest::addColumn<QByteArrayList>("descriptions");  // of a.add, b.add, ...
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("beta, Alpha") << QByteArrayList{"beta", "Alpha"} << L({"Alpha", "beta"});
    QTest::newRow("alpha, Beta") << QByteArrayList{"alpha", "Beta"} << L({"Beta", "alpha"});
    QTest::newRow("equal ones keep file order")
        << QByteArrayList{"same", "Other", "same"} << L({"Other", "same", "same"});
    QTest::newRow("empty file") << QByteArrayList{"", "Zed"} << L({"Unknown Listing!", "Zed"});
}

void TestAddressBook::listingSortsByDescription() {
    QFETCH(QByteArrayList, descriptions);
    QFETCH(QStringList, listed);
    QTemporaryDir dir;
    for (int i = 0; i < descriptions.size(); ++i)
        WriteWholeFile(dir.path() + QStringLiteral("/%1.add").arg(QChar(u'a' + i)),
                       descriptions[i]);
    const BookListing listing = ListAddressBooks(dir.path() + QLatin1Char('/'), true);
    QCOMPARE(listing.m_descriptions, listed);
    QCOMPARE(listing.Count(), descriptions.size());
    // Paths stay in step with their descriptions.
    for (int i = 0; i < listing.Count(); ++i) {
        QCOMPARE(ReadWholeFile(listing.m_paths[i]).isEmpty()
                     ? QStringLiteral("Unknown Listing!")
                     : QString::fromLatin1(ReadWholeFile(listing.m_paths[i])),
                 listing.m_descriptions[i]);
    }
}

void TestAddressBook::listingRecognisesFilesAndLists() {
    QTemporaryDir dir;
    const QString data = dir.path() + QLatin1Char('/');
    QCOMPARE(ListAddressBooks(data, false).Count(), 0);
    ResetRecentLists(data);
    WriteWholeFile(data + QStringLiteral("Upper.ADD"), "Upper case name\r\nA;b;1;");
    WriteWholeFile(data + QStringLiteral("ol.ADD"), "Looks like the on-line list");
    WriteWholeFile(data + QStringLiteral("notes.txt"), "not a book");
    QDir().mkdir(data + QStringLiteral("folder.add"));
    QFile::link(data + QStringLiteral("gone"),
                data + QStringLiteral("broken.add"));  // cannot be read

    const BookListing all = ListAddressBooks(data, false);
    QCOMPARE(
        all.m_descriptions,
        (QStringList{QStringLiteral("Last Senders"), QStringLiteral("Looks like the on-line list"),
                     QStringLiteral("On-Lines"), QStringLiteral("Upper case name")}));
    const BookListing books = ListAddressBooks(data, true);
    QCOMPARE(books.m_descriptions, QStringList{QStringLiteral("Upper case name")});
    QCOMPARE(books.m_paths, QStringList{data + QStringLiteral("Upper.ADD")});
}

void TestAddressBook::pushKeepsNewestFirstAndAtMostThirty() {
    QTemporaryDir dir;
    const QString data = dir.path() + QLatin1Char('/');
    ResetRecentLists(data);
    for (int i = 0; i < 31; ++i)
        QVERIFY(PushRecentEntry(
            data, QStringLiteral("OL.add"), QStringLiteral("On-Lines"),
            {QStringLiteral("n%1").arg(i), QStringLiteral("h%1").arg(i), 6000 + i}));
    const QList<AddressEntry> entries = *ReadBookEntries(data + QStringLiteral("OL.add"));
    QCOMPARE(entries.size(), 30);
    QCOMPARE(entries.first(), (AddressEntry{QStringLiteral("n30"), QStringLiteral("h30"), 6030}));
    QCOMPARE(entries.last().m_strName, QStringLiteral("n1"));  // the oldest is gone
    QVERIFY(ReadWholeFile(data + QStringLiteral("OL.add"))
                .startsWith("On-Lines\r\nn30;h30;6030;\r\nn29;h29;6029;"));

    // Old lines are written back in the normal form; damaged ones go.
    WriteWholeFile(data + QStringLiteral("LS.add"),
                   "Last Senders\nOld; One;host; 7x;\n\ngarbage\n");
    QVERIFY(PushRecentEntry(data, QStringLiteral("LS.add"), QStringLiteral("Last Senders"),
                            {QStringLiteral("New"), QStringLiteral("h"), 1}));
    QCOMPARE(ReadWholeFile(data + QStringLiteral("LS.add")),
             QByteArray("Last Senders\r\nNew;h;1;\r\nOld; One;host;7;"));
}

void TestAddressBook::pushReplacesTheSameNameWhateverItsCase() {
    QTemporaryDir dir;
    const QString data = dir.path() + QLatin1Char('/');
    ResetRecentLists(data);
    const QString list = QStringLiteral("OL.add");
    const QString description = QStringLiteral("On-Lines");
    QVERIFY(PushRecentEntry(data, list, description,
                            {QStringLiteral("Ann Example"), QStringLiteral("pc1"), 6001}));
    QVERIFY(PushRecentEntry(data, list, description,
                            {QStringLiteral("Bob"), QStringLiteral("pc2"), 6001}));
    QVERIFY(PushRecentEntry(data, list, description,
                            {QStringLiteral("ANN EXAMPLE"), QStringLiteral("pc3"), 7000}));
    QVERIFY(PushRecentEntry(data, list, description,
                            {QStringLiteral("ANN EXAMPLE"), QStringLiteral("pc3"), 7000}));
    const QList<AddressEntry> entries = *ReadBookEntries(data + list);
    QCOMPARE(entries,
             (QList<AddressEntry>{{QStringLiteral("ANN EXAMPLE"), QStringLiteral("pc3"), 7000},
                                  {QStringLiteral("Bob"), QStringLiteral("pc2"), 6001}}));
    // A name longer than any fixed buffer is kept whole and still replaces itself.
    const QString longName(75, u'L');
    QVERIFY(PushRecentEntry(data, list, description, {longName, QStringLiteral("x"), 1}));
    QVERIFY(PushRecentEntry(data, list, description, {longName, QStringLiteral("y"), 2}));
    QCOMPARE(Names(*ReadBookEntries(data + list)),
             (QStringList{longName, QStringLiteral("ANN EXAMPLE"), QStringLiteral("Bob")}));
}

void TestAddressBook::pushCreatesAMissingList() {
    QTemporaryDir dir;
    const QString data = dir.path() + QLatin1Char('/');
    QVERIFY(PushRecentEntry(data, QStringLiteral("LS.add"), QStringLiteral("Last Senders"),
                            {QString(), QStringLiteral("h"), 5}));
    QCOMPARE(ReadWholeFile(data + QStringLiteral("LS.add")), QByteArray("Last Senders\r\n;h;5;"));
    QVERIFY(!PushRecentEntry(dir.path() + QStringLiteral("/no/such/dir/"), QStringLiteral("LS.add"),
                             QStringLiteral("Last Senders"),
                             {QStringLiteral("a"), QStringLiteral("h"), 5}));
}

void TestAddressBook::pushesFromThreadsAndProcessesAreNotLost() {
    QTemporaryDir dir;
    const QString data = dir.path() + QLatin1Char('/');
    ResetRecentLists(data);
    constexpr int kEach = 7;  // four writers: 28 names, all within the 30 a list keeps
    QProcess first;
    QProcess second;
    first.start(QStringLiteral(RECENT_PUSHER), {data, QStringLiteral("p"), QString::number(kEach)});
    second.start(QStringLiteral(RECENT_PUSHER),
                 {data, QStringLiteral("q"), QString::number(kEach)});
    auto pushes = [&data](const QString& prefix) {
        for (int i = 0; i < kEach; ++i)
            PushRecentEntry(data, QStringLiteral("LS.add"), QStringLiteral("Last Senders"),
                            {prefix + QString::number(i), QStringLiteral("host"), 6001});
    };
    std::thread t1(pushes, QStringLiteral("t"));
    std::thread t2(pushes, QStringLiteral("u"));
    t1.join();
    t2.join();
    QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);
    const QStringList names = Names(*ReadBookEntries(data + QStringLiteral("LS.add")));
    QCOMPARE(names.size(), 4 * kEach);
    for (const char* prefix : {"p", "q", "t", "u"}) {
        for (int i = 0; i < kEach; ++i)
            QVERIFY2(names.contains(QLatin1String(prefix) + QString::number(i)), prefix);
    }
}

void TestAddressBook::readerNeverSeesAHalfWrittenBook() {
    QTemporaryDir dir;
    const QString path = Path(dir, "big.add");
    QList<AddressEntry> many;
    for (int i = 0; i < 5000; ++i)
        many.append({QStringLiteral("Person %1").arg(i),
                     QStringLiteral("10.0.%1.%2").arg(i / 256).arg(i % 256), 6001});
    const QByteArray a = BookFormat::FormatBook(QStringLiteral("A"), many);
    const QByteArray b = BookFormat::FormatBook(QStringLiteral("B"), many.mid(0, 4000));
    QVERIFY(WriteAddressBook(path, QStringLiteral("A"), many));

    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 60; ++i)
            WriteAddressBook(path, i % 2 ? QStringLiteral("A") : QStringLiteral("B"),
                             i % 2 ? many : many.mid(0, 4000));
        done = true;
    });
    int reads = 0;
    bool whole = true;
    const QDeadlineTimer deadline(60000);
    while (!done && !deadline.hasExpired() && reads < 100000) {
        const QByteArray seen = ReadWholeFile(path);
        whole = whole && (seen == a || seen == b);
        ++reads;
    }
    writer.join();
    QVERIFY(whole);
    QVERIFY(reads > 0);
}

QUILLPAD_TEST_MAIN(TestAddressBook)
#include "TestAddressBook.moc"
