#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "addressbook/AddressBook.h"
#include "platform/NumberInput.h"

// What the three address-book dialogs do with the books of the data directory, without their
// windows.
namespace BookRules {

// A port that can be reached: anything else fails at the connect.
constexpr NumberInput::NumberRange kPortRange{1, 65535};
constexpr qint32 kDefaultPort = 6001;

// Where a new book of that file name goes: the data directory, the name and ".add" (a name
// typed with ".add" gets a second one). Nothing, with a text for the user, for a name that
// would put the book anywhere else.
std::optional<QString> NewBookPath(const QString& dataDirectory, const QString& fileName,
                                   QString* error);

// An entry as typed, checked in the order the editor checks it: the port, the name, the
// address. The first field found wrong, with what the user is told; the entry when all is well.
struct EntryCheck {
    enum class Field { None, Port, Name, Address };
    Field m_field = Field::None;
    QString m_strMessage;
    AddressEntry m_entry;
};
EntryCheck CheckEntry(const QString& name, const QString& address, const QString& port);

// Deletes the book at index (its file; a file that cannot be deleted is not reported) and takes
// it off the listing. Gives the line to select then: the same position, else the one before,
// -1 when none is left.
int DeleteBook(BookListing& listing, int index);

}  // namespace BookRules

// The editor's books and the entries of the book chosen, in the order its list shows them: by
// name, letters of either case alike, entries of the same name in the order they came. Every
// change is written to the book at once, atomically.
class AddressBookEditor {
public:
    enum class Result { Written, WriteFailed, NoBook, NoEntry };

    // Lists the books of the data directory, the two recent lists left out.
    explicit AddressBookEditor(const QString& dataDirectory);

    const BookListing& Books() const { return m_books; }
    int CurrentBook() const { return m_nBook; }
    // Reads the book's entries; a book that cannot be read shows none. No entry is chosen.
    void SelectBook(int index);

    const QList<AddressEntry>& Entries() const { return m_entries; }
    int CurrentEntry() const { return m_nEntry; }
    void SelectEntry(int index);

    // Adds the entry at its place and chooses it.
    Result Add(const AddressEntry& entry);
    // Puts entry in place of the chosen one (at its own place by name) and chooses it.
    Result Update(const AddressEntry& entry);
    // Removes the chosen entry; the one now at its position, else the one before, is chosen.
    Result Delete();

    QString CurrentDescription() const;

private:
    int Insert(const AddressEntry& entry);
    Result Write() const;

    BookListing m_books;
    int m_nBook = -1;
    QList<AddressEntry> m_entries;
    int m_nEntry = -1;
};
