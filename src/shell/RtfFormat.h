#pragma once

// What the parts of the RTF reader and writer share: the characters that stand for structure
// in RtfContent, the picture format, the code page of the header, the largest picture size, and
// hex digits.
#include <QByteArrayView>
#include <array>

namespace RtfFormat {

inline constexpr char16_t kObjectReplacement = 0xFFFC;  // where a picture stands
inline constexpr char16_t kLineSeparator = 0x2028;
inline constexpr char16_t kParagraphSeparator = 0x2029;
inline constexpr QByteArrayView kPngSignature("\x89PNG\r\n\x1a\n", 8);
// Twenty times the largest page a word processor allows: no picture is shown larger.
inline constexpr int kMaxTwips = 31680 * 20;

// Windows-1252 in 0x80..0x9f; its five unassigned bytes keep their C1 code points.
inline constexpr std::array<char16_t, 32> kCp1252High = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};

inline constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace RtfFormat
