// Note records as a peer sends them, cut into pieces at arbitrary points.
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "net/CMsg.h"

namespace {

// Decodes the record's own encoding again: what was read must be what is written.
void CheckReencodes(const CMsg& msg) {
    MsgDecoder again;
    again.Feed(msg.Encode());
    CMsg back;
    FUZZ_CHECK(again.Next(back) == MsgDecoder::Result::Record);
    FUZZ_CHECK(back.m_dwCode == msg.m_dwCode && back.m_bFinal == msg.m_bFinal &&
               back.m_strData == msg.m_strData);
    FUZZ_CHECK(!again.HasPartialRecord());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte says how the rest arrives: in pieces of 1 to 256 bytes.
    const size_t piece = size_t(data[0]) + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    MsgDecoder decoder;
    size_t decoded = 0;
    bool failed = false;
    for (size_t at = 0; at < length && !failed; at += piece) {
        const size_t count = at + piece <= length ? piece : length - at;
        decoder.Feed(QByteArrayView(bytes + at, qsizetype(count)));
        for (;;) {
            CMsg msg;
            const MsgDecoder::Result result = decoder.Next(msg);
            if (result == MsgDecoder::Result::NeedMore)
                break;
            if (result == MsgDecoder::Result::Error) {
                failed = true;
                break;
            }
            FUZZ_CHECK(msg.m_strData.size() <= CMsg::kMaxTextBytes);
            decoded += 7 + size_t(msg.m_strData.size());
            FUZZ_CHECK(decoded <= length);
            CheckReencodes(msg);
        }
    }
    if (failed) {
        CMsg msg;
        FUZZ_CHECK(decoder.Next(msg) == MsgDecoder::Result::Error);
    }
    return 0;
}
