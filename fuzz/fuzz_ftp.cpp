// What an FTP server sends: reply lines on the control connection and directory listings.
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "addressbook/FtpParsing.h"

namespace {

// Reply lines cut as the client cuts them: at each line feed, a line of more than the limit
// ends the connection.
void ReadReplies(const QByteArray& bytes) {
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype window = std::min(bytes.size() - at, FtpReply::kMaxLineBytes);
        const qsizetype lineFeed = QByteArrayView(bytes).sliced(at, window).indexOf('\n');
        if (lineFeed < 0)
            return;  // too long, or the connection ends in the middle of a line
        const QByteArray line = FtpReply::Trimmed(QByteArrayView(bytes).sliced(at, lineFeed + 1));
        at += lineFeed + 1;
        FUZZ_CHECK(line.size() <= lineFeed);
        FUZZ_CHECK(line.isEmpty() || (line.back() != ' ' && line.back() != '\t' &&
                                      line.back() != '\r' && line.back() != '\n'));
        const int code = FtpReply::Code(line);
        FUZZ_CHECK(code >= 0 && code <= 999);
        FUZZ_CHECK(code == 0 || QByteArray::number(code).rightJustified(3, '0') == line.first(3));
        FtpReply::IsContinued(line);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ReadReplies(bytes);

    for (const QString& name : Retrieval::ParseListing(bytes)) {
        FUZZ_CHECK(name.contains(QStringLiteral("add")));
        Retrieval::IsPlainFileName(name);
    }
    return 0;
}
