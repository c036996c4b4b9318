// Address book files as a fetched book or a hand-edited one may hold them.
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "addressbook/AddressBook.h"

namespace {

// An entry written back reads as the same entry, as long as its line stays within bounds.
void CheckRewrites(const AddressEntry& entry) {
    FUZZ_CHECK(!entry.m_strAddress.contains(QLatin1Char(';')));
    const QByteArray written = BookFormat::FormatEntry(entry);
    FUZZ_CHECK(written.startsWith("\r\n"));
    const QByteArrayView line = QByteArrayView(written).sliced(2);
    const std::optional<AddressEntry> back = BookFormat::ParseLine(line);
    if (line.size() > BookFormat::kMaxLineBytes) {
        FUZZ_CHECK(!back);
        return;
    }
    FUZZ_CHECK(back);
    // Bytes that are no UTF-8 read as replacement characters, which are written as such.
    const std::optional<AddressEntry> again =
        BookFormat::ParseLine(QByteArrayView(BookFormat::FormatEntry(*back)).sliced(2));
    FUZZ_CHECK(again && *again == *back);
    FUZZ_CHECK(back->m_nPort == entry.m_nPort);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // The listing reads the description from the file's first bytes only.
    const QByteArray description = BookFormat::Description(
        QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), BookFormat::kMaxLineBytes)));
    FUZZ_CHECK(!description.contains('\n'));
    FUZZ_CHECK(bytes.isEmpty() || bytes.startsWith(description));

    const QList<QByteArrayView> lines = BookFormat::SplitLines(bytes);
    FUZZ_CHECK(lines.size() == bytes.count('\n') + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        FUZZ_CHECK(!lines[i].contains('\n'));
        if (const std::optional<AddressEntry> entry = BookFormat::ParseLine(lines[i]))
            CheckRewrites(*entry);
    }
    return 0;
}
