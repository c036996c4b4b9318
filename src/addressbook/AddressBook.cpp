#include "addressbook/AddressBook.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <algorithm>
#include <limits>
#include <numeric>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"

namespace {

constexpr int kRecentLockTimeoutMs = 10000;

QByteArray ReadBook(QFile& file) {
    return file.read(BookFormat::kMaxBookBytes);
}

// Serialises the updates of the recent lists within this process; the lock file does the same
// across processes.
QMutex g_recentMutex;

}  // namespace

void BookListing::RemoveAt(int index) {
    if (index < 0 || index >= Count())
        return;
    m_paths.removeAt(index);
    m_descriptions.removeAt(index);
}

qint32 BookFormat::ParsePort(QByteArrayView text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    qint64 value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<qint32>::max())
            value = qint64(std::numeric_limits<qint32>::max()) + 1;  // held just past the range
    }
    if (negative)
        value = -value;
    return static_cast<qint32>(std::clamp<qint64>(value, std::numeric_limits<qint32>::min(),
                                                  std::numeric_limits<qint32>::max()));
}

std::optional<AddressEntry> BookFormat::ParseLine(QByteArrayView line) {
    if (line.size() > kMaxLineBytes)
        return std::nullopt;
    const qsizetype last = line.lastIndexOf(';');
    if (last < 0)
        return std::nullopt;
    QByteArrayView rest = line.first(last);
    const qsizetype portSep = rest.lastIndexOf(';');
    if (portSep < 0)
        return std::nullopt;
    const QByteArrayView port = rest.sliced(portSep + 1);
    rest = rest.first(portSep);
    const qsizetype addressSep = rest.lastIndexOf(';');
    if (addressSep < 0)
        return std::nullopt;
    AddressEntry entry;
    entry.m_strAddress = QString::fromLocal8Bit(rest.sliced(addressSep + 1));
    entry.m_strName = QString::fromLocal8Bit(rest.first(addressSep));
    entry.m_nPort = ParsePort(port);
    return entry;
}

QList<QByteArrayView> BookFormat::SplitLines(const QByteArray& bytes) {
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start <= bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QByteArrayView line(bytes.constData() + start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    return lines;
}

QByteArray BookFormat::Description(QByteArrayView head) {
    if (head.isEmpty())
        return QByteArray(kUnknownListing);
    const qsizetype lineFeed = head.indexOf('\n');
    QByteArrayView description = lineFeed < 0 ? head : head.first(lineFeed);
    if (description.endsWith('\r'))
        description.chop(1);
    return description.toByteArray();
}

QByteArray BookFormat::FormatEntry(const AddressEntry& entry) {
    return "\r\n" + entry.m_strName.toLocal8Bit() + ';' + entry.m_strAddress.toLocal8Bit() + ';' +
           QByteArray::number(entry.m_nPort) + ';';
}

QByteArray BookFormat::FormatBook(const QString& description, const QList<AddressEntry>& entries) {
    QByteArray bytes = description.toLocal8Bit();
    for (const AddressEntry& entry : entries)
        bytes += FormatEntry(entry);
    return bytes;
}

BookListing ListAddressBooks(const QString& dataDirectory, bool excludeRecentLists) {
    // Books may end in ".ADD" as well: the names are filtered here, without regard to case.
    QDir all(dataDirectory, QString(), QDir::Name, QDir::Files | QDir::Hidden);
    QStringList names;
    for (const QString& name : all.entryList()) {
        if (!name.endsWith(QStringLiteral(".add"), Qt::CaseInsensitive))
            continue;
        if (excludeRecentLists &&
            (name.compare(QLatin1String(kOnLinesFile), Qt::CaseInsensitive) == 0 ||
             name.compare(QLatin1String(kLastSendersFile), Qt::CaseInsensitive) == 0))
            continue;
        names.append(name);
    }

    QStringList paths;
    QList<QByteArray> descriptions;
    for (const QString& name : std::as_const(names)) {
        const QString path = dataDirectory + name;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        paths.append(path);
        descriptions.append(BookFormat::Description(file.read(BookFormat::kMaxLineBytes)));
    }

    // Descriptions in byte order (upper-case letters before lower-case ones); equal ones keep
    // the order of the file names.
    QList<int> order(paths.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&descriptions](int a, int b) { return descriptions[a] < descriptions[b]; });
    BookListing listing;
    for (int index : order) {
        listing.m_paths.append(paths[index]);
        listing.m_descriptions.append(QString::fromLocal8Bit(descriptions[index]));
    }
    return listing;
}

std::optional<QList<AddressEntry>> ReadBookEntries(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = ReadBook(file);
    const QList<QByteArrayView> lines = BookFormat::SplitLines(bytes);
    QList<AddressEntry> entries;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (std::optional<AddressEntry> entry = BookFormat::ParseLine(lines[i]))
            entries.append(*entry);
    }
    return entries;
}

bool WriteAddressBook(const QString& path, const QString& description,
                      const QList<AddressEntry>& entries) {
    return AtomicFile::Write(path, BookFormat::FormatBook(description, entries));
}

bool CreateAddressBook(const QString& path, const QString& description) {
    return WriteAddressBook(path, description, {});
}

namespace {

// The list after entry is pushed onto it: at the top, at most 30 entries; of the old ones at
// most 29 are looked at, and one of the same name is dropped but counts.
QList<AddressEntry> PushedOnto(const QList<AddressEntry>& list, const AddressEntry& entry) {
    QList<AddressEntry> pushed{entry};
    int examined = 1;
    for (const AddressEntry& older : list) {
        if (examined >= kRecentListSize)
            break;
        if (older.m_strName.compare(entry.m_strName, Qt::CaseInsensitive) != 0)
            pushed.append(older);
        ++examined;
    }
    return pushed;
}

}  // namespace

bool PushRecentEntry(const QString& dataDirectory, const QString& fileName,
                     const QString& description, const AddressEntry& entry) {
    return PushRecentEntries(dataDirectory, fileName, description, {entry});
}

bool PushRecentEntries(const QString& dataDirectory, const QString& fileName,
                       const QString& description, const QList<AddressEntry>& entries) {
    const QString path = dataDirectory + fileName;
    QMutexLocker inProcess(&g_recentMutex);
    FileLock acrossProcesses(dataDirectory + QLatin1Char('.') + fileName + QStringLiteral(".lock"));
    if (!acrossProcesses.Lock(kRecentLockTimeoutMs))
        return false;

    QList<AddressEntry> list;
    QFile old(path);
    if (old.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = ReadBook(old);
        const QList<QByteArrayView> lines = BookFormat::SplitLines(bytes);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            // An empty or damaged line is no entry.
            if (const std::optional<AddressEntry> older = BookFormat::ParseLine(lines[i]))
                list.append(*older);
        }
    }
    for (const AddressEntry& entry : entries)
        list = PushedOnto(list, entry);
    // The lists are rebuilt at every start: handing them to the system is enough.
    AtomicFile::Options options;
    options.durability = AtomicFile::Durability::Flushed;
    return AtomicFile::Write(path, BookFormat::FormatBook(description, list), options);
}

void ResetRecentLists(const QString& dataDirectory) {
    CreateAddressBook(dataDirectory + QLatin1String(kOnLinesFile),
                      QString::fromLatin1(kOnLinesDescription));
    CreateAddressBook(dataDirectory + QLatin1String(kLastSendersFile),
                      QString::fromLatin1(kLastSendersDescription));
}
