// RTF as other programs write it, or as a damaged log holds it.
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "shell/RtfCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RtfContent content;
    QString error;
    const bool read = ReadRtf(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)),
                              content, &error);
    FUZZ_CHECK(read == error.isEmpty());
    // Each picture stands at a replacement character of its own.
    FUZZ_CHECK(content.m_strText.count(QChar(0xFFFC)) >= content.m_pictures.size());
    for (const RtfPicture& picture : content.m_pictures)
        FUZZ_CHECK(picture.m_png.startsWith("\x89PNG"));
    return 0;
}
