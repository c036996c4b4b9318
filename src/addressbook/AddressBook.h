#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One person or machine in a book or list.
struct AddressEntry {
    QString m_strName;
    QString m_strAddress;  // dotted IPv4 address or machine name
    qint32 m_nPort = 0;

    bool operator==(const AddressEntry&) const = default;
};

// The books of the data directory, index for index: path and description.
struct BookListing {
    QStringList m_paths;
    QStringList m_descriptions;

    int Count() const { return static_cast<int>(m_paths.size()); }
    void RemoveAt(int index);
};

// The two recent lists kept by the program itself, in the data directory.
inline constexpr const char* kOnLinesFile = "OL.add";
inline constexpr const char* kOnLinesDescription = "On-Lines";
inline constexpr const char* kLastSendersFile = "LS.add";
inline constexpr const char* kLastSendersDescription = "Last Senders";
inline constexpr const char* kUnknownListing = "Unknown Listing!";
// At most this many entries in a recent list.
inline constexpr int kRecentListSize = 30;

// A book file: its first line is the description, with no line end of its own; each entry is
// a line end followed by "name;address;port;" (the line ends are CR LF on disk). Readers take
// CR LF or LF.
namespace BookFormat {

// One entry line, parsed from the right: the name may hold ';', the address may not. Lines
// with fewer than three ';' are no entry.
std::optional<AddressEntry> ParseLine(QByteArrayView line);
// The port field as a decimal number: leading blanks, an optional sign, digits up to the
// first non-digit; no digits give 0.
qint32 ParsePort(QByteArrayView text);
// Lines of a book, each without its line end (LF or CR LF); they point into bytes.
QList<QByteArrayView> SplitLines(const QByteArray& bytes);
QList<QByteArrayView> SplitLines(QByteArray&&) = delete;  // the views would outlive their bytes
// A book's description from the first bytes of its file: the first line; "Unknown Listing!"
// for an empty file.
QByteArray Description(QByteArrayView head);
QByteArray FormatEntry(const AddressEntry& entry);  // "\r\nname;address;port;"
QByteArray FormatBook(const QString& description, const QList<AddressEntry>& entries);

// Lines longer than this are no entry (a book is a short text file, not a place for data).
constexpr qsizetype kMaxLineBytes = 4096;
// Books are read whole up to this size; what lies beyond is not read.
constexpr qint64 kMaxBookBytes = 16 * 1024 * 1024;

}  // namespace BookFormat

// Lists the books of the data directory (names ending in ".add", letters in any case), sorted
// by description in byte order, books with equal descriptions in file-name order. With
// excludeRecentLists the two recent lists are left out. Files that cannot be read are left
// out; an empty file is listed as "Unknown Listing!".
BookListing ListAddressBooks(const QString& dataDirectory, bool excludeRecentLists);

// The entries of a book in file order; nullopt when the file cannot be read.
std::optional<QList<AddressEntry>> ReadBookEntries(const QString& path);

// Creates or replaces a book, atomically.
bool WriteAddressBook(const QString& path, const QString& description,
                      const QList<AddressEntry>& entries);
bool CreateAddressBook(const QString& path, const QString& description);

// Puts entry at the top of a recent list (newest first, at most 30, names compared without
// regard to letter case). Updates of one list are serialised within this process and across
// processes, so that no update is lost.
bool PushRecentEntry(const QString& dataDirectory, const QString& fileName,
                     const QString& description, const AddressEntry& entry);
// Pushes entries in their order (the last ends on top) with one rewrite of the list. Waits up
// to 10 seconds for another writer of the list: never call it on the user-interface thread
// (RecentListWriter does it on a thread of its own).
bool PushRecentEntries(const QString& dataDirectory, const QString& fileName,
                       const QString& description, const QList<AddressEntry>& entries);

// Empties OL.add and LS.add in the data directory (joined by plain concatenation). A list that
// cannot be written is left as it was.
void ResetRecentLists(const QString& dataDirectory);
