#include "addressbook/AddressBookEditor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("BookRules", text);
}

}  // namespace

namespace BookRules {

std::optional<QString> NewBookPath(const QString& dataDirectory, const QString& fileName,
                                   QString* error) {
    // The name is joined to the directory as it stands: a separator or a step up would put
    // the book elsewhere, or write over a file outside the data directory.
    if (fileName.contains(QLatin1Char('/')) || fileName.contains(QChar(0)) ||
        fileName == QLatin1String(".") || fileName == QLatin1String("..")) {
        *error = Tr("\"%1\" cannot be the name of an address book: a name may not hold \"/\", "
                    "and may not be \".\" or \"..\".")
                     .arg(fileName);
        return std::nullopt;
    }
    const QString path = dataDirectory + fileName + QStringLiteral(".add");
    const QString inside = QDir::cleanPath(QDir(dataDirectory).absolutePath());
    if (QFileInfo(QDir::cleanPath(QDir(dataDirectory).absoluteFilePath(path))).absolutePath() !=
        inside) {
        *error = Tr("\"%1\" cannot be the name of an address book: the book would not be in "
                    "the data directory.")
                     .arg(fileName);
        return std::nullopt;
    }
    return path;
}

EntryCheck CheckEntry(const QString& name, const QString& address, const QString& port) {
    EntryCheck check;
    const std::optional<quint32> number = NumberInput::ParseNumber(port, kPortRange);
    if (!number) {
        check.m_field = EntryCheck::Field::Port;
        check.m_strMessage = NumberInput::RangePrompt(kPortRange);
    } else if (name.isEmpty()) {
        check.m_field = EntryCheck::Field::Name;
        check.m_strMessage = Tr("You must enter a name!");
    } else if (address.isEmpty()) {
        check.m_field = EntryCheck::Field::Address;
        check.m_strMessage = Tr("You must enter an IP address or machine name!");
    } else {
        check.m_entry = AddressEntry{name, address, static_cast<qint32>(*number)};
    }
    return check;
}

int DeleteBook(BookListing& listing, int index) {
    if (index < 0 || index >= listing.Count())
        return -1;
    QFile::remove(listing.m_paths[index]);
    listing.RemoveAt(index);
    return index < listing.Count() ? index : listing.Count() - 1;
}

}  // namespace BookRules

AddressBookEditor::AddressBookEditor(const QString& dataDirectory)
    : m_books(ListAddressBooks(dataDirectory, true)) {}

void AddressBookEditor::SelectBook(int index) {
    m_entries.clear();
    m_nEntry = -1;
    m_nBook = index >= 0 && index < m_books.Count() ? index : -1;
    if (m_nBook < 0)
        return;
    const QList<AddressEntry> read =
        ReadBookEntries(m_books.m_paths[m_nBook]).value_or(QList<AddressEntry>());
    for (const AddressEntry& entry : read)
        Insert(entry);
}

void AddressBookEditor::SelectEntry(int index) {
    m_nEntry = index >= 0 && index < m_entries.size() ? index : -1;
}

QString AddressBookEditor::CurrentDescription() const {
    return m_nBook >= 0 ? m_books.m_descriptions[m_nBook] : QString();
}

int AddressBookEditor::Insert(const AddressEntry& entry) {
    int at = static_cast<int>(m_entries.size());
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].m_strName.compare(entry.m_strName, Qt::CaseInsensitive) > 0) {
            at = i;
            break;
        }
    }
    m_entries.insert(at, entry);
    return at;
}

AddressBookEditor::Result AddressBookEditor::Add(const AddressEntry& entry) {
    if (m_nBook < 0)
        return Result::NoBook;
    m_nEntry = Insert(entry);
    return Write();
}

AddressBookEditor::Result AddressBookEditor::Update(const AddressEntry& entry) {
    if (m_nBook < 0)
        return Result::NoBook;
    if (m_nEntry < 0)
        return Result::NoEntry;
    m_entries.removeAt(m_nEntry);
    m_nEntry = Insert(entry);
    return Write();
}

AddressBookEditor::Result AddressBookEditor::Delete() {
    if (m_nBook < 0)
        return Result::NoBook;
    if (m_nEntry < 0)
        return Result::NoEntry;
    m_entries.removeAt(m_nEntry);
    if (m_nEntry >= m_entries.size())
        m_nEntry = static_cast<int>(m_entries.size()) - 1;
    return Write();
}

AddressBookEditor::Result AddressBookEditor::Write() const {
    return WriteAddressBook(m_books.m_paths[m_nBook], m_books.m_descriptions[m_nBook], m_entries)
               ? Result::Written
               : Result::WriteFailed;
}
