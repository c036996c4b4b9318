// What the address-book dialogs do to the books, on real files in a temporary data directory.
#include <QtTest>

#include "OrdinaryUser.h"
#include "TestSupport.h"
#include "addressbook/AddressBookEditor.h"

using Field = BookRules::EntryCheck::Field;
Q_DECLARE_METATYPE(Field)

namespace {

AddressEntry Entry(const char* name, const char* address = "10.0.0.1", qint32 port = 6001) {
    return AddressEntry{QString::fromUtf8(name), QString::fromLatin1(address), port};
}

}  // namespace

class TestAddressBookEditor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void newBookPathStaysInTheDataDirectory_data();
    void newBookPathStaysInTheDataDirectory();
    void entriesAreCheckedPortThenNameThenAddress_data();
    void entriesAreCheckedPortThenNameThenAddress();
    void deletingBooksReselectsTheNextOrThePrevious();
    void everyChangeRewritesTheBookSortedByName();
    void changesNeedABookAndAnEntry();
    void aBookThatCannotBeWrittenKeepsTheChange();

private:
    QString Data() const { return m_dir.path() + QLatin1Char('/'); }
    QString Book(const char* name) const { return Data() + QLatin1String(name); }

    QTemporaryDir m_dir;
};

void TestAddressBookEditor::init() {
    for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files))
        QFile::remove(m_dir.filePath(name));
}

void TestAddressBookEditor::newBookPathStaysInTheDataDirectory_data() {
    QTest::addColumn<QString>("directory");  // relative to the data directory
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");  // empty: refused
    QTest::newRow("plain") << "/"
                           << "Team"
                           << "/Team.add";
    QTest::newRow("typed with its extension") << "/"
                                              << "Team.add"
                                              << "/Team.add.add";
    QTest::newRow("blanks and dots inside") << "/"
                                            << "Field Staff.v2"
                                            << "/Field Staff.v2.add";
    QTest::newRow("backslash is a letter here") << "/"
                                                << "a\\b"
                                                << "/a\\b.add";
    QTest::newRow("a separator") << "/"
                                 << "sub/Team"
                                 << "";
    QTest::newRow("a way out") << "/"
                               << "../../etc/Team"
                               << "";
    QTest::newRow("an absolute path") << "/"
                                      << "/tmp/Team"
                                      << "";
    QTest::newRow("dot") << "/"
                         << "."
                         << "";
    QTest::newRow("dot dot") << "/"
                             << ".."
                             << "";
    // A data directory kept without its '/' would put the book beside it.
    QTest::newRow("directory without its separator") << ""
                                                     << "Team"
                                                     << "";
}

void TestAddressBookEditor::newBookPathStaysInTheDataDirectory() {
    QFETCH(QString, directory);
    QFETCH(QString, name);
    QFETCH(QString, path);
    QString error;
    const std::optional<QString> made =
        BookRules::NewBookPath(m_dir.path() + directory, name, &error);
    if (path.isEmpty()) {
        QVERIFY(!made);
        QVERIFY(error.contains(name));
    } else {
        QCOMPARE(made.value_or(QString()), m_dir.path() + path);
    }
}

void TestAddressBookEditor::entriesAreCheckedPortThenNameThenAddress_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<Field>("wrong");
    QTest::newRow("all wrong: the port first") << ""
                                               << ""
                                               << "0" << Field::Port;
    QTest::newRow("no name, no address") << ""
                                         << ""
                                         << "6001" << Field::Name;
    QTest::newRow("no address") << "Ann"
                                << ""
                                << "6001" << Field::Address;
    QTest::newRow("port 0") << "Ann"
                            << "pc"
                            << "0" << Field::Port;
    QTest::newRow("port 1") << "Ann"
                            << "pc"
                            << "1" << Field::None;
    QTest::newRow("port 65535") << "Ann"
                                << "pc"
                                << "65535" << Field::None;
    // Nothing listens beyond 65535: a port up to 100000 would be stored and never reached.
    QTest::newRow("port 65536") << "Ann"
                                << "pc"
                                << "65536" << Field::Port;
    QTest::newRow("port 100000") << "Ann"
                                 << "pc"
                                 << "100000" << Field::Port;
    QTest::newRow("port not a number") << "Ann"
                                       << "pc"
                                       << "60o1" << Field::Port;
    QTest::newRow("port empty") << "Ann"
                                << "pc"
                                << "" << Field::Port;
}

void TestAddressBookEditor::entriesAreCheckedPortThenNameThenAddress() {
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(Field, wrong);
    const BookRules::EntryCheck check = BookRules::CheckEntry(name, address, port);
    QCOMPARE(check.m_field, wrong);
    QCOMPARE(check.m_strMessage.isEmpty(), wrong == Field::None);
    if (wrong == Field::None)
        QCOMPARE(check.m_entry, (AddressEntry{name, address, port.toInt()}));
}

void TestAddressBookEditor::deletingBooksReselectsTheNextOrThePrevious() {
    for (const char* name : {"a", "b", "c", "d"})
        QVERIFY(CreateAddressBook(Book(name) + QStringLiteral(".add"),
                                  QStringLiteral("Book ") + QLatin1String(name)));
    QVERIFY(CreateAddressBook(Book("OL.add"), QStringLiteral("On-Lines")));
    BookListing listing = ListAddressBooks(Data(), true);
    QCOMPARE(listing.m_descriptions,
             (QStringList{QStringLiteral("Book a"), QStringLiteral("Book b"),
                          QStringLiteral("Book c"), QStringLiteral("Book d")}));
    // Two books one after the other: exactly those two files go.
    QCOMPARE(BookRules::DeleteBook(listing, 1), 1);  // b goes; c is now at its place
    QCOMPARE(BookRules::DeleteBook(listing, 1), 1);  // c goes; d is now there
    QVERIFY(!QFile::exists(Book("b.add")) && !QFile::exists(Book("c.add")));
    QVERIFY(QFile::exists(Book("a.add")) && QFile::exists(Book("d.add")));
    QVERIFY(QFile::exists(Book("OL.add")));
    // The last one: the one before it is chosen; then none is left.
    QCOMPARE(BookRules::DeleteBook(listing, 1), 0);
    QCOMPARE(BookRules::DeleteBook(listing, 0), -1);
    QCOMPARE(listing.Count(), 0);
    QCOMPARE(BookRules::DeleteBook(listing, 0), -1);
}

void TestAddressBookEditor::everyChangeRewritesTheBookSortedByName() {
    WriteWholeFile(Book("team.add"), "Team members\r\nzed;10.0.0.9;6001;\r\nBob;bob-pc;6002;");
    AddressBookEditor editor(Data());
    QCOMPARE(editor.Books().m_descriptions, QStringList{QStringLiteral("Team members")});
    editor.SelectBook(0);
    QCOMPARE(editor.Entries(),
             (QList<AddressEntry>{Entry("Bob", "bob-pc", 6002), Entry("zed", "10.0.0.9")}));
    QCOMPARE(editor.CurrentEntry(), -1);

    // Letters of either case sort alike; a second entry of a name stays beside the first.
    QCOMPARE(editor.Add(Entry("anna")), AddressBookEditor::Result::Written);
    QCOMPARE(editor.CurrentEntry(), 0);
    QCOMPARE(editor.Add(Entry("Bob", "10.0.0.2")), AddressBookEditor::Result::Written);
    QCOMPARE(editor.CurrentEntry(), 2);
    QCOMPARE(ReadWholeFile(Book("team.add")),
             QByteArray("Team members\r\nanna;10.0.0.1;6001;\r\nBob;bob-pc;6002;"
                        "\r\nBob;10.0.0.2;6001;\r\nzed;10.0.0.9;6001;"));

    // zed becomes Abe: to the top of the list and of the file.
    editor.SelectEntry(3);
    QCOMPARE(editor.Update(Entry("Abe", "10.0.0.9")), AddressBookEditor::Result::Written);
    QCOMPARE(editor.CurrentEntry(), 0);
    QVERIFY(ReadWholeFile(Book("team.add")).startsWith("Team members\r\nAbe;10.0.0.9;6001;"));

    // Deleting chooses the entry now at the same place, else the one before.
    editor.SelectEntry(1);  // anna
    QCOMPARE(editor.Delete(), AddressBookEditor::Result::Written);
    QCOMPARE(editor.Entries()[editor.CurrentEntry()].m_strName, QStringLiteral("Bob"));
    editor.SelectEntry(2);  // the last
    QCOMPARE(editor.Delete(), AddressBookEditor::Result::Written);
    QCOMPARE(editor.CurrentEntry(), 1);
    QCOMPARE(editor.Delete(), AddressBookEditor::Result::Written);
    QCOMPARE(editor.Delete(), AddressBookEditor::Result::Written);
    QCOMPARE(editor.CurrentEntry(), -1);
    // The last entry gone leaves the description alone.
    QCOMPARE(ReadWholeFile(Book("team.add")), QByteArray("Team members"));
}

void TestAddressBookEditor::changesNeedABookAndAnEntry() {
    WriteWholeFile(Book("team.add"), "Team\r\nAnn;pc;6001;");
    const QByteArray before = ReadWholeFile(Book("team.add"));
    AddressBookEditor editor(Data());
    QCOMPARE(editor.Add(Entry("Eve")), AddressBookEditor::Result::NoBook);
    QCOMPARE(editor.Update(Entry("Eve")), AddressBookEditor::Result::NoBook);
    QCOMPARE(editor.Delete(), AddressBookEditor::Result::NoBook);
    editor.SelectBook(0);
    QCOMPARE(editor.Update(Entry("Eve")), AddressBookEditor::Result::NoEntry);
    QCOMPARE(editor.Delete(), AddressBookEditor::Result::NoEntry);
    QCOMPARE(ReadWholeFile(Book("team.add")), before);
    QCOMPARE(editor.Entries().size(), 1);
}

void TestAddressBookEditor::aBookThatCannotBeWrittenKeepsTheChange() {
    WriteWholeFile(Book("team.add"), "Team\r\nAnn;pc;6001;");
    const QByteArray before = ReadWholeFile(Book("team.add"));
    AddressBookEditor editor(Data());
    editor.SelectBook(0);
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    AddressBookEditor::Result result = AddressBookEditor::Result::Written;
    AsOrdinaryUser([&] { result = editor.Add(Entry("Eve")); });
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(result, AddressBookEditor::Result::WriteFailed);
    QCOMPARE(editor.Entries().size(), 2);               // the change stays in the list
    QCOMPARE(ReadWholeFile(Book("team.add")), before);  // and the book is whole
}

QUILLPAD_TEST_MAIN(TestAddressBookEditor)
#include "TestAddressBookEditor.moc"
