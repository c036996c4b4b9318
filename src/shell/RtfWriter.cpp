// The RTF writer: a log's content as a file that word processors read, marked as ours.
#include <QtEndian>
#include <algorithm>
#include <charconv>
#include <limits>

#include "shell/RtfCodec.h"
#include "shell/RtfFormat.h"

namespace {

using RtfFormat::kCp1252High;
using RtfFormat::kLineSeparator;
using RtfFormat::kMaxTwips;
using RtfFormat::kObjectReplacement;
using RtfFormat::kParagraphSeparator;
using RtfFormat::kPngSignature;

constexpr int kTwipsPerPixel = 15;  // at 96 dpi
constexpr int kHexLineLength = 128;
constexpr QByteArrayView kHeaderStart(
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 ");
constexpr QByteArrayView kGeneratorGroup("{\\*\\generator Quillpad 3.6;}");
constexpr QByteArrayView kGeneratorMark("{\\*\\generator Quillpad");
// Earlier versions wrote no mark: the font table was followed by the body.
constexpr QByteArrayView kUnmarkedBodyStart("\n\\uc1\\pard\\plain\\f0\\fs");
constexpr qsizetype kMaxFaceBytes = 512;

void AppendNumber(QByteArray& out, int value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

void AppendControl(QByteArray& out, const char* word, int value) {
    out.append(word);
    AppendNumber(out, value);
}

// The Windows-1252 byte of a character beyond ASCII, or 0 where that code page has none.
unsigned char Cp1252Byte(char16_t c) {
    if (c >= 0xa0 && c <= 0xff)
        return static_cast<unsigned char>(c);
    if (c >= 0x80 && c < 0xa0)
        return 0;  // C1 controls; the five that stand in the table are unassigned bytes
    const auto* it = std::find(kCp1252High.begin(), kCp1252High.end(), c);
    return it == kCp1252High.end() ? 0
                                   : static_cast<unsigned char>(0x80 + (it - kCp1252High.begin()));
}

bool IsPlainAscii(char16_t c) {
    return c >= 0x20 && c < 0x7f && c != '\\' && c != '{' && c != '}';
}

// Characters other than paragraph and line breaks, tabs and pictures.
void AppendCharacter(QByteArray& out, char16_t c) {
    if (IsPlainAscii(c)) {
        out.append(static_cast<char>(c));
    } else if (c == '\\' || c == '{' || c == '}') {
        out.append('\\');
        out.append(static_cast<char>(c));
    } else {
        // Readers that skip \u (and some that misread a "?" after it) take the code-page byte.
        out.append("\\u");
        AppendNumber(out, static_cast<qint16>(c));
        if (const unsigned char byte = Cp1252Byte(c)) {
            constexpr char kHex[] = "0123456789abcdef";
            out.append("\\'");
            out.append(kHex[byte >> 4]);
            out.append(kHex[byte & 0xf]);
        } else {
            out.append('?');
        }
    }
}

struct PixelSize {
    int m_nWidth = 0;
    int m_nHeight = 0;
};

PixelSize PngPixelSize(const QByteArray& png) {
    if (png.size() < 24 || !png.startsWith(kPngSignature) || png.mid(12, 4) != "IHDR")
        return {};
    const auto dimension = [&png](int offset) {
        const quint32 value = qFromBigEndian<quint32>(png.constData() + offset);
        return static_cast<int>(std::min<quint32>(value, std::numeric_limits<int>::max()));
    };
    return {dimension(16), dimension(20)};
}

int PixelsToTwips(int pixels) {
    return static_cast<int>(std::min<qint64>(qint64(pixels) * kTwipsPerPixel, kMaxTwips));
}

void AppendPicture(QByteArray& out, const RtfPicture& picture) {
    if (picture.m_png.isEmpty())
        return;
    const PixelSize pixels = PngPixelSize(picture.m_png);
    const int widthTwips =
        picture.m_nWidthTwips > 0 ? picture.m_nWidthTwips : PixelsToTwips(pixels.m_nWidth);
    const int heightTwips =
        picture.m_nHeightTwips > 0 ? picture.m_nHeightTwips : PixelsToTwips(pixels.m_nHeight);
    out.append("{\\pict\\pngblip");
    AppendControl(out, "\\picw", pixels.m_nWidth);
    AppendControl(out, "\\pich", pixels.m_nHeight);
    AppendControl(out, "\\picwgoal", widthTwips);
    AppendControl(out, "\\pichgoal", heightTwips);
    out.append('\n');
    const QByteArray hex = picture.m_png.toHex();
    for (qsizetype i = 0; i < hex.size(); i += kHexLineLength) {
        out.append(
            QByteArrayView(hex).sliced(i, std::min<qsizetype>(kHexLineLength, hex.size() - i)));
        out.append('\n');
    }
    out.append('}');
}

void AppendBody(QByteArray& out, const RtfContent& content) {
    const QString& text = content.m_strText;
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* const end = p + text.size();
    qsizetype nextPicture = 0;
    while (p < end) {
        const char16_t* run = p;
        while (p < end && IsPlainAscii(*p))
            ++p;
        if (p > run) {
            const qsizetype at = out.size();
            out.resize(at + (p - run));
            std::transform(run, p, out.data() + at,
                           [](char16_t c) { return static_cast<char>(c); });
            if (p == end)
                break;
        }
        const char16_t c = *p++;
        switch (c) {
            case '\r':
                if (p < end && *p == '\n')
                    ++p;
                out.append("\\par\n");
                break;
            case '\n':
            case kParagraphSeparator:
                out.append("\\par\n");
                break;
            case kLineSeparator:
                out.append("\\line ");
                break;
            case '\t':
                out.append("\\tab ");
                break;
            case kObjectReplacement:
                if (nextPicture < content.m_pictures.size())
                    AppendPicture(out, content.m_pictures.at(nextPicture++));
                break;
            default:
                AppendCharacter(out, c);
        }
    }
}

// Room for the text with its escapes and for the pictures in hex, so that a month's log is
// not copied over and over as it grows.
qsizetype ExpectedSize(const RtfContent& content) {
    qsizetype pictureBytes = 0;
    for (const RtfPicture& picture : content.m_pictures)
        pictureBytes += picture.m_png.size() * 2 + picture.m_png.size() / kHexLineLength + 100;
    return content.m_strText.size() + content.m_strText.size() / 8 + pictureBytes + 256;
}

void AppendFaceName(QByteArray& out, const QString& faceName) {
    for (const QChar c : faceName) {
        // A semicolon would end the name early; breaks have no place in it.
        if (c != QLatin1Char(';') && c.unicode() >= 0x20 && c != kLineSeparator &&
            c != kParagraphSeparator && c != kObjectReplacement)
            AppendCharacter(out, c.unicode());
    }
}

}  // namespace

QByteArray WriteRtf(const RtfContent& content, const QString& faceName, int halfPoints) {
    QByteArray out;
    out.reserve(ExpectedSize(content));
    out.append(kHeaderStart);
    AppendFaceName(out, faceName);
    out.append(";}}");
    out.append(kGeneratorGroup);
    out.append("\n\\uc1\\pard\\plain\\f0");
    AppendControl(out, "\\fs", std::max(halfPoints, 1));
    out.append(' ');
    AppendBody(out, content);
    out.append("}\n");
    return out;
}

bool IsWrittenByQuillpad(QByteArrayView start) {
    if (!start.startsWith(kHeaderStart))
        return false;
    const QByteArrayView rest = start.sliced(kHeaderStart.size());
    const qsizetype faceEnd = rest.first(std::min(rest.size(), kMaxFaceBytes)).indexOf(";}}");
    if (faceEnd < 0)
        return false;
    const QByteArrayView afterFonts = rest.sliced(faceEnd + 3);
    return afterFonts.startsWith(kGeneratorMark) || afterFonts.startsWith(kUnmarkedBodyStart);
}
