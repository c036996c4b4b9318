#include "shell/RtfCodec.h"

#include <QCoreApplication>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <string_view>
#include <vector>

namespace {

constexpr char16_t kObjectReplacement = 0xFFFC;
constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kParagraphSeparator = 0x2029;
constexpr char16_t kReplacement = 0xFFFD;
constexpr QByteArrayView kPngSignature("\x89PNG\r\n\x1a\n", 8);
constexpr int kTwipsPerPixel = 15;  // at 96 dpi
constexpr int kHexLineLength = 128;
constexpr QByteArrayView kHeaderStart(
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 ");
constexpr QByteArrayView kGeneratorGroup("{\\*\\generator Quillpad 3.6;}");
constexpr QByteArrayView kGeneratorMark("{\\*\\generator Quillpad");
// Earlier versions wrote no mark: the font table was followed by the body.
constexpr QByteArrayView kUnmarkedBodyStart("\n\\uc1\\pard\\plain\\f0\\fs");
constexpr qsizetype kMaxFaceBytes = 512;

// Word processors nest a few dozen groups; deeper ones are read as skipped content so that a
// file of braces cannot make the stack grow with it.
constexpr std::size_t kMaxDepth = 100000;
// The RTF syntax allows 10 digits; longer numbers are damage.
constexpr int kMaxDigits = 10;
constexpr int kMaxWordLength = 32;
constexpr qsizetype kMaxPropertyName = 32;
constexpr int kMaxTwips = 31680 * 20;  // twenty times the largest page a word processor allows

QString Tr(const char* text) {
    return QCoreApplication::translate("RtfCodec", text);
}

void AppendNumber(QByteArray& out, int value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

void AppendControl(QByteArray& out, const char* word, int value) {
    out.append(word);
    AppendNumber(out, value);
}

// Windows-1252 in 0x80..0x9f; its five unassigned bytes keep their C1 code points.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};

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

enum class Word : quint8 {
    SkipDestination,
    Ansicpg,
    Bin,
    Bullet,
    Cell,
    Emdash,
    Emspace,
    Endash,
    Enspace,
    Ldblquote,
    Line,
    Lquote,
    Ltrmark,
    Mac,
    Otherblip,
    Par,
    Pc,
    Pca,
    Pichgoal,
    Picscalex,
    Picscaley,
    Pict,
    Picwgoal,
    Pngblip,
    Qmspace,
    Rdblquote,
    Row,
    Rquote,
    Rtlmark,
    Shpinst,
    Shppict,
    Shptxt,
    Sn,
    Sp,
    Sv,
    Tab,
    U,
    Uc,
    Zwbo,
    Zwj,
    Zwnj,
};

struct WordEntry {
    std::string_view m_name;
    Word m_word;
};

// Sorted by name. Destinations that hold no text of the document are skipped whole.
constexpr WordEntry kWords[] = {
    {"aftncn", Word::SkipDestination},
    {"aftnsep", Word::SkipDestination},
    {"aftnsepc", Word::SkipDestination},
    {"annotation", Word::SkipDestination},
    {"ansicpg", Word::Ansicpg},
    {"atnauthor", Word::SkipDestination},
    {"atnid", Word::SkipDestination},
    {"author", Word::SkipDestination},
    {"bin", Word::Bin},
    {"bkmkend", Word::SkipDestination},
    {"bkmkstart", Word::SkipDestination},
    {"blipuid", Word::SkipDestination},
    {"bullet", Word::Bullet},
    {"buptim", Word::SkipDestination},
    {"category", Word::SkipDestination},
    {"cell", Word::Cell},
    {"colortbl", Word::SkipDestination},
    {"comment", Word::SkipDestination},
    {"company", Word::SkipDestination},
    {"creatim", Word::SkipDestination},
    {"datastore", Word::SkipDestination},
    {"dibitmap", Word::Otherblip},
    {"doccomm", Word::SkipDestination},
    {"docvar", Word::SkipDestination},
    {"emdash", Word::Emdash},
    {"emfblip", Word::Otherblip},
    {"emspace", Word::Emspace},
    {"endash", Word::Endash},
    {"enspace", Word::Enspace},
    {"falt", Word::SkipDestination},
    {"filetbl", Word::SkipDestination},
    {"fldinst", Word::SkipDestination},
    {"fonttbl", Word::SkipDestination},
    {"footer", Word::SkipDestination},
    {"footerf", Word::SkipDestination},
    {"footerl", Word::SkipDestination},
    {"footerr", Word::SkipDestination},
    {"footnote", Word::SkipDestination},
    {"ftncn", Word::SkipDestination},
    {"ftnsep", Word::SkipDestination},
    {"ftnsepc", Word::SkipDestination},
    {"generator", Word::SkipDestination},
    {"header", Word::SkipDestination},
    {"headerf", Word::SkipDestination},
    {"headerl", Word::SkipDestination},
    {"headerr", Word::SkipDestination},
    {"info", Word::SkipDestination},
    {"jpegblip", Word::Otherblip},
    {"keywords", Word::SkipDestination},
    {"latentstyles", Word::SkipDestination},
    {"ldblquote", Word::Ldblquote},
    {"line", Word::Line},
    {"listoverridetable", Word::SkipDestination},
    {"listtable", Word::SkipDestination},
    {"lquote", Word::Lquote},
    {"ltrmark", Word::Ltrmark},
    {"mac", Word::Mac},
    {"macpict", Word::Otherblip},
    {"manager", Word::SkipDestination},
    {"nestcell", Word::Cell},
    {"nestrow", Word::Row},
    {"nonshppict", Word::SkipDestination},
    {"objdata", Word::SkipDestination},
    {"operator", Word::SkipDestination},
    {"panose", Word::SkipDestination},
    {"par", Word::Par},
    {"pc", Word::Pc},
    {"pca", Word::Pca},
    {"pgdsctbl", Word::SkipDestination},
    {"pichgoal", Word::Pichgoal},
    {"picprop", Word::SkipDestination},
    {"picscalex", Word::Picscalex},
    {"picscaley", Word::Picscaley},
    {"pict", Word::Pict},
    {"picwgoal", Word::Picwgoal},
    {"pmmetafile", Word::Otherblip},
    {"pn", Word::SkipDestination},
    {"pngblip", Word::Pngblip},
    {"printim", Word::SkipDestination},
    {"qmspace", Word::Qmspace},
    {"rdblquote", Word::Rdblquote},
    {"revtbl", Word::SkipDestination},
    {"revtim", Word::SkipDestination},
    {"row", Word::Row},
    {"rquote", Word::Rquote},
    {"rsidtbl", Word::SkipDestination},
    {"rtlmark", Word::Rtlmark},
    {"sect", Word::Par},
    {"shpinst", Word::Shpinst},
    {"shppict", Word::Shppict},
    {"shprslt", Word::SkipDestination},
    {"shptxt", Word::Shptxt},
    {"sn", Word::Sn},
    {"sp", Word::Sp},
    {"stylesheet", Word::SkipDestination},
    {"subject", Word::SkipDestination},
    {"sv", Word::Sv},
    {"tab", Word::Tab},
    {"tc", Word::SkipDestination},
    {"tcn", Word::SkipDestination},
    {"template", Word::SkipDestination},
    {"themedata", Word::SkipDestination},
    {"title", Word::SkipDestination},
    {"txe", Word::SkipDestination},
    {"u", Word::U},
    {"uc", Word::Uc},
    {"userprops", Word::SkipDestination},
    {"wbitmap", Word::Otherblip},
    {"wmetafile", Word::Otherblip},
    {"xe", Word::SkipDestination},
    {"xmlnstbl", Word::SkipDestination},
    {"zwbo", Word::Zwbo},
    {"zwj", Word::Zwj},
    {"zwnj", Word::Zwnj},
};

constexpr bool WordsAreSorted() {
    return std::is_sorted(
        std::begin(kWords), std::end(kWords),
        [](const WordEntry& a, const WordEntry& b) { return a.m_name < b.m_name; });
}
static_assert(WordsAreSorted());

const WordEntry* FindWord(std::string_view name) {
    const auto* it = std::lower_bound(
        std::begin(kWords), std::end(kWords), name,
        [](const WordEntry& entry, std::string_view key) { return entry.m_name < key; });
    return it != std::end(kWords) && it->m_name == name ? it : nullptr;
}

char16_t SpecialCharacter(Word word) {
    switch (word) {
        case Word::Bullet:
            return 0x2022;
        case Word::Emdash:
            return 0x2014;
        case Word::Emspace:
            return 0x2003;
        case Word::Endash:
            return 0x2013;
        case Word::Enspace:
            return 0x2002;
        case Word::Ldblquote:
            return 0x201c;
        case Word::Lquote:
            return 0x2018;
        case Word::Ltrmark:
            return 0x200e;
        case Word::Qmspace:
            return 0x2005;
        case Word::Rdblquote:
            return 0x201d;
        case Word::Rquote:
            return 0x2019;
        case Word::Rtlmark:
            return 0x200f;
        case Word::Zwbo:
            return 0x200b;
        case Word::Zwj:
            return 0x200d;
        case Word::Zwnj:
            return 0x200c;
        default:
            return 0;
    }
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Bytes of text that stand for themselves whatever the code page.
bool IsPlainTextByte(char c) {
    return c >= 0x20 && c < 0x7f && c != '\\' && c != '{' && c != '}';
}

class RtfReader {
public:
    RtfReader(QByteArrayView rtf, RtfContent& content)
        : m_p(rtf.data()), m_end(rtf.data() + rtf.size()), m_content(content) {}

    // The first error met, or an empty string.
    QString Read();

private:
    enum class Destination : quint8 {
        Text,
        Skip,
        Picture,
        ShapeInstructions,  // a shape's properties: only its picture is read
        ShapePropertyName,
        ShapePicture,  // the value of the property that holds the shape's picture
    };

    struct Group {
        Destination m_destination;
        quint8 m_nUnicodeSkip;
    };

    struct Picture {
        QByteArray m_data;
        int m_nHighNibble = -1;
        bool m_bPng = false;
        bool m_bOtherFormat = false;
        bool m_bDamaged = false;
        int m_nWidthGoal = 0;
        int m_nHeightGoal = 0;
        int m_nScaleX = 100;
        int m_nScaleY = 100;
    };

    struct Parameter {
        int m_nValue = 0;
        bool m_bPresent = false;
        bool m_bTooLong = false;
    };

    Destination CurrentDestination() const {
        return m_nExcessDepth > 0 ? Destination::Skip : m_groups.back().m_destination;
    }
    void SetDestination(Destination destination) { m_groups.back().m_destination = destination; }
    void Fail(const char* reason) {
        if (m_strError.isEmpty())
            m_strError = Tr(reason);
    }

    void OpenGroup();
    void CloseGroup();
    bool ReopenAfterEnd();
    void ReadText();
    void ReadBodyText();
    void ReadPictureHex();
    void ReadControl();
    void ReadSymbol(char symbol);
    void ReadHexEscape();
    Parameter ReadParameter();
    void ApplyWord(std::string_view name, const Parameter& parameter, bool starred);
    void ApplyBodyWord(Word word, const Parameter& parameter);
    void ReadBinary(const Parameter& parameter);
    void FinishPicture();

    void Emit(char16_t unit);
    void EmitCodePoint(int value);
    void EmitSkippable(char16_t unit);
    void FlushSurrogate();
    char16_t Decode(unsigned char byte) const;

    const char* m_p;
    const char* const m_end;
    RtfContent& m_content;
    QString& m_text = m_content.m_strText;
    std::vector<Group> m_groups;
    Group m_lastGroup{Destination::Text, 1};
    std::size_t m_nExcessDepth = 0;
    bool m_bEnded = false;    // the group that holds the document was closed
    bool m_bStarred = false;  // the group began with \*
    const char* m_pGroupStart = nullptr;
    int m_nFallbackLeft = 0;  // fallback characters still to skip after a \u
    char16_t m_cHighSurrogate = 0;
    int m_nCodePage = 1252;
    QByteArray m_propertyName;
    Picture m_picture;
    QString m_strError;
};

QString RtfReader::Read() {
    if (QByteArrayView(m_p, m_end - m_p).startsWith("\xef\xbb\xbf"))
        m_p += 3;
    while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\r' || *m_p == '\n'))
        ++m_p;
    if (m_p == m_end)
        return Tr(QT_TRANSLATE_NOOP("RtfCodec", "The file is empty."));
    if (!QByteArrayView(m_p, m_end - m_p).startsWith("{\\rtf"))
        return Tr(QT_TRANSLATE_NOOP("RtfCodec", "The file is not in Rich Text Format."));

    while (m_p < m_end) {
        const char c = *m_p;
        if (c == '\r' || c == '\n') {
            ++m_p;
            continue;
        }
        if (m_bEnded && !ReopenAfterEnd())
            continue;
        if (c == '{') {
            ++m_p;
            OpenGroup();
        } else if (c == '}') {
            ++m_p;
            CloseGroup();
        } else if (c == '\\') {
            ++m_p;
            ReadControl();
        } else {
            ReadText();
        }
    }
    FlushSurrogate();
    if (!m_groups.empty())
        Fail(QT_TRANSLATE_NOOP("RtfCodec",
                               "The file ends in the middle of the document; it may "
                               "have been cut short."));
    return m_strError;
}

// Past the group that holds the document only blanks belong; whatever else comes is read as
// more of the document so that no note is lost.
bool RtfReader::ReopenAfterEnd() {
    const char c = *m_p;
    if (c == ' ' || c == '\t' || c == '\0') {
        ++m_p;
        return false;
    }
    if (c == '}') {
        ++m_p;
        Fail(QT_TRANSLATE_NOOP("RtfCodec", "The file has more closing braces than opening ones."));
        return false;
    }
    Fail(QT_TRANSLATE_NOOP("RtfCodec", "The file goes on after the end of the document."));
    m_groups.push_back(m_lastGroup);
    m_bEnded = false;
    return true;
}

void RtfReader::OpenGroup() {
    m_bStarred = false;
    m_pGroupStart = m_p;
    m_nFallbackLeft = 0;
    if (m_nExcessDepth > 0 || m_groups.size() >= kMaxDepth) {
        ++m_nExcessDepth;
        Fail(QT_TRANSLATE_NOOP("RtfCodec", "The file has groups nested too deeply."));
        return;
    }
    if (m_groups.empty()) {
        m_groups.push_back({Destination::Text, 1});
        return;
    }
    Group group = m_groups.back();
    if (group.m_destination == Destination::Picture)
        group.m_destination = Destination::Skip;
    m_groups.push_back(group);
}

void RtfReader::CloseGroup() {
    m_bStarred = false;
    m_nFallbackLeft = 0;
    if (m_nExcessDepth > 0) {
        --m_nExcessDepth;
        return;
    }
    const Group group = m_groups.back();
    m_groups.pop_back();
    if (group.m_destination == Destination::Picture)
        FinishPicture();
    if (m_groups.empty()) {
        m_lastGroup = group;
        m_bEnded = true;
    }
}

void RtfReader::ReadText() {
    m_bStarred = false;
    switch (CurrentDestination()) {
        case Destination::Text:
            ReadBodyText();
            return;
        case Destination::Picture:
            ReadPictureHex();
            return;
        case Destination::ShapePropertyName:
            if (m_propertyName.size() < kMaxPropertyName)
                m_propertyName.append(*m_p);
            ++m_p;
            return;
        default:
            ++m_p;
            while (m_p < m_end && *m_p != '\\' && *m_p != '{' && *m_p != '}')
                ++m_p;
    }
}

void RtfReader::ReadBodyText() {
    if (m_nFallbackLeft == 0) {
        const char* start = m_p;
        while (m_p < m_end && IsPlainTextByte(*m_p))
            ++m_p;
        if (m_p > start) {
            FlushSurrogate();
            m_text.append(QLatin1String(start, m_p - start));
            return;
        }
    }
    const auto byte = static_cast<unsigned char>(*m_p++);
    if (byte == '\t')
        EmitSkippable('\t');
    else if (byte >= 0x20 && byte != 0x7f)
        EmitSkippable(Decode(byte));
}

void RtfReader::ReadPictureHex() {
    while (m_p < m_end) {
        const char c = *m_p;
        if (c == '\\' || c == '{' || c == '}')
            return;
        ++m_p;
        const int nibble = HexValue(c);
        if (nibble < 0) {
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                m_picture.m_bDamaged = true;
        } else if (m_picture.m_nHighNibble < 0) {
            m_picture.m_nHighNibble = nibble;
        } else {
            m_picture.m_data.append(static_cast<char>(m_picture.m_nHighNibble << 4 | nibble));
            m_picture.m_nHighNibble = -1;
        }
    }
}

void RtfReader::ReadControl() {
    if (m_p == m_end)
        return;
    if (!IsAsciiLetter(*m_p)) {
        ReadSymbol(*m_p++);
        return;
    }
    const char* start = m_p;
    while (m_p < m_end && IsAsciiLetter(*m_p))
        ++m_p;
    const std::string_view name(start, m_p - start);
    const Parameter parameter = ReadParameter();
    if (m_p < m_end && *m_p == ' ')
        ++m_p;
    const bool starred = m_bStarred;
    m_bStarred = false;
    if (name.size() <= kMaxWordLength)
        ApplyWord(name, parameter, starred);
}

RtfReader::Parameter RtfReader::ReadParameter() {
    Parameter parameter;
    bool negative = false;
    if (m_p + 1 < m_end && *m_p == '-' && IsDigit(m_p[1])) {
        negative = true;
        ++m_p;
    }
    if (m_p == m_end || !IsDigit(*m_p))
        return parameter;
    parameter.m_bPresent = true;
    qint64 value = 0;
    int digits = 0;
    for (; m_p < m_end && IsDigit(*m_p); ++m_p) {
        if (++digits <= kMaxDigits)
            value = value * 10 + (*m_p - '0');
    }
    if (digits > kMaxDigits) {
        parameter.m_bTooLong = true;
        Fail(QT_TRANSLATE_NOOP("RtfCodec", "The file has a number that is too long."));
        value = std::numeric_limits<qint64>::max();
    }
    if (negative)
        value = -value;
    parameter.m_nValue = static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                                             std::numeric_limits<int>::max()));
    return parameter;
}

void RtfReader::ReadSymbol(char symbol) {
    if (symbol == '*') {
        m_bStarred = m_p - 2 == m_pGroupStart;
        return;
    }
    m_bStarred = false;
    if (symbol == '\'') {
        ReadHexEscape();
        return;
    }
    const Destination destination = CurrentDestination();
    if (destination == Destination::ShapePropertyName && m_propertyName.size() < kMaxPropertyName)
        m_propertyName.append(symbol);
    if (destination != Destination::Text)
        return;
    switch (symbol) {
        case '\\':
        case '{':
        case '}':
            EmitSkippable(static_cast<char16_t>(symbol));
            break;
        case '~':
            EmitSkippable(0x00a0);
            break;
        case '_':
            EmitSkippable(0x2011);
            break;
        case '\r':
        case '\n':
            m_nFallbackLeft = 0;
            Emit('\n');
            break;
        default:
            break;
    }
}

// Line ends inside the two digits are not text, as everywhere else; a brace or backslash ends
// a damaged escape so that the structure around it survives.
void RtfReader::ReadHexEscape() {
    int value = 0;
    int digits = 0;
    bool valid = true;
    while (digits < 2 && m_p < m_end) {
        const char c = *m_p;
        if (c == '\r' || c == '\n') {
            ++m_p;
            continue;
        }
        if (c == '\\' || c == '{' || c == '}')
            break;
        ++m_p;
        ++digits;
        const int nibble = HexValue(c);
        valid = valid && nibble >= 0;
        value = value * 16 + nibble;
    }
    if (digits < 2 || !valid) {
        Fail(QT_TRANSLATE_NOOP("RtfCodec", "The file has a damaged character escape."));
        if (m_nFallbackLeft > 0)
            --m_nFallbackLeft;
        return;
    }
    if (CurrentDestination() == Destination::Text)
        EmitSkippable(Decode(static_cast<unsigned char>(value)));
}

void RtfReader::ApplyWord(std::string_view name, const Parameter& parameter, bool starred) {
    const Destination destination = CurrentDestination();
    if (name == "bin") {
        ReadBinary(parameter);
        return;
    }
    if (destination == Destination::Skip)
        return;
    const WordEntry* entry = FindWord(name);
    const Word word = entry ? entry->m_word : Word::SkipDestination;
    // "\*" marks a destination that a reader may skip when it does not know it.
    if (starred && (!entry || (word != Word::Shppict && word != Word::Shpinst))) {
        SetDestination(Destination::Skip);
        return;
    }
    if (!entry)
        return;
    switch (destination) {
        case Destination::Text:
            ApplyBodyWord(word, parameter);
            return;
        case Destination::Picture:
            if (word == Word::Pngblip)
                m_picture.m_bPng = true;
            else if (word == Word::Otherblip)
                m_picture.m_bOtherFormat = true;
            else if (word == Word::Picwgoal)
                m_picture.m_nWidthGoal = parameter.m_nValue;
            else if (word == Word::Pichgoal)
                m_picture.m_nHeightGoal = parameter.m_nValue;
            else if (word == Word::Picscalex && parameter.m_bPresent)
                m_picture.m_nScaleX = parameter.m_nValue;
            else if (word == Word::Picscaley && parameter.m_bPresent)
                m_picture.m_nScaleY = parameter.m_nValue;
            return;
        case Destination::ShapeInstructions:
            if (word == Word::Sp) {
                m_propertyName.clear();
            } else if (word == Word::Sn) {
                m_propertyName.clear();
                SetDestination(Destination::ShapePropertyName);
            } else if (word == Word::Sv) {
                // Only "pib" is the shape's picture; "fillBlip" and others repeat or decorate it.
                SetDestination(m_propertyName == "pib" ? Destination::ShapePicture
                                                       : Destination::Skip);
            } else if (word == Word::Shptxt) {
                SetDestination(Destination::Text);
            }
            return;
        case Destination::ShapePicture:
            if (word == Word::Pict) {
                m_picture = Picture();
                SetDestination(Destination::Picture);
            }
            return;
        default:
            return;
    }
}

void RtfReader::ApplyBodyWord(Word word, const Parameter& parameter) {
    switch (word) {
        case Word::SkipDestination:
            SetDestination(Destination::Skip);
            return;
        case Word::Pict:
            m_picture = Picture();
            SetDestination(Destination::Picture);
            return;
        case Word::Shpinst:
            SetDestination(Destination::ShapeInstructions);
            return;
        case Word::Ansicpg:
            m_nCodePage = parameter.m_nValue;
            return;
        case Word::Mac:
        case Word::Pc:
        case Word::Pca:
            m_nCodePage = 0;
            return;
        case Word::Uc:
            m_groups.back().m_nUnicodeSkip =
                static_cast<quint8>(std::clamp(parameter.m_nValue, 0, 255));
            return;
        case Word::U:
            if (!parameter.m_bTooLong)
                EmitCodePoint(parameter.m_nValue);
            m_nFallbackLeft = m_groups.back().m_nUnicodeSkip;
            return;
        case Word::Par:
        case Word::Cell:
            m_nFallbackLeft = 0;
            Emit('\n');
            return;
        case Word::Row:
            m_nFallbackLeft = 0;
            if (!m_text.isEmpty() && !m_text.endsWith(QLatin1Char('\n')))
                Emit('\n');
            return;
        case Word::Line:
            m_nFallbackLeft = 0;
            Emit(kLineSeparator);
            return;
        case Word::Tab:
            m_nFallbackLeft = 0;
            Emit('\t');
            return;
        default:
            if (const char16_t c = SpecialCharacter(word))
                EmitSkippable(c);
            return;
    }
}

void RtfReader::ReadBinary(const Parameter& parameter) {
    if (!parameter.m_bPresent || parameter.m_nValue <= 0)
        return;
    if (parameter.m_nValue > m_end - m_p) {
        // Reading on as RTF keeps whatever text follows the damaged data.
        Fail(QT_TRANSLATE_NOOP("RtfCodec", "The file has binary data that runs past its end."));
        m_picture.m_bDamaged = true;
        return;
    }
    if (CurrentDestination() == Destination::Picture)
        m_picture.m_data.append(m_p, parameter.m_nValue);
    m_p += parameter.m_nValue;
}

void RtfReader::FinishPicture() {
    Picture picture = std::exchange(m_picture, Picture());
    if (!picture.m_bPng || picture.m_bOtherFormat)
        return;
    if (picture.m_bDamaged || !picture.m_data.startsWith(kPngSignature)) {
        Fail(QT_TRANSLATE_NOOP("RtfCodec", "A picture in the file is damaged."));
        return;
    }
    const auto scaled = [](int goal, int scale) {
        if (goal <= 0 || scale <= 0)
            return 0;
        return static_cast<int>(std::min<qint64>(qint64(goal) * scale / 100, kMaxTwips));
    };
    RtfPicture result;
    result.m_png = std::move(picture.m_data);
    result.m_nWidthTwips = scaled(picture.m_nWidthGoal, picture.m_nScaleX);
    result.m_nHeightTwips = scaled(picture.m_nHeightGoal, picture.m_nScaleY);
    m_content.m_pictures.append(std::move(result));
    FlushSurrogate();
    m_text.append(QChar(kObjectReplacement));
}

// Surrogates come as two \u; one without its partner cannot be shown and is replaced.
void RtfReader::Emit(char16_t unit) {
    if (m_cHighSurrogate != 0) {
        if (QChar::isLowSurrogate(unit)) {
            m_text.append(QChar(m_cHighSurrogate));
            m_text.append(QChar(unit));
            m_cHighSurrogate = 0;
            return;
        }
        FlushSurrogate();
    }
    if (QChar::isHighSurrogate(unit)) {
        m_cHighSurrogate = unit;
        return;
    }
    if (QChar::isLowSurrogate(unit))
        unit = kReplacement;
    else if (unit == kParagraphSeparator)
        unit = '\n';
    m_text.append(QChar(unit));
}

// \u takes a signed 16-bit number; some writers give characters beyond it as one number.
void RtfReader::EmitCodePoint(int value) {
    if (value < -32768 || value > 0x10ffff || value == 0)
        return;
    if (value > 0xffff) {
        const auto codePoint = static_cast<char32_t>(value);
        Emit(QChar::highSurrogate(codePoint));
        Emit(QChar::lowSurrogate(codePoint));
        return;
    }
    const auto unit = static_cast<char16_t>(value);
    Emit(unit == kObjectReplacement ? kReplacement : unit);  // that one stands for pictures
}

void RtfReader::EmitSkippable(char16_t unit) {
    if (m_nFallbackLeft > 0)
        --m_nFallbackLeft;
    else
        Emit(unit);
}

void RtfReader::FlushSurrogate() {
    if (m_cHighSurrogate != 0) {
        m_text.append(QChar(kReplacement));
        m_cHighSurrogate = 0;
    }
}

char16_t RtfReader::Decode(unsigned char byte) const {
    if (m_nCodePage == 1252 && byte >= 0x80 && byte < 0xa0)
        return kCp1252High[byte - 0x80];
    return byte;
}

}  // namespace

QByteArray WriteRtf(const RtfContent& content, const QString& faceName, int halfPoints) {
    QByteArray out;
    qsizetype pictureBytes = 0;
    for (const RtfPicture& picture : content.m_pictures)
        pictureBytes += picture.m_png.size() * 2 + picture.m_png.size() / kHexLineLength + 100;
    out.reserve(content.m_strText.size() + content.m_strText.size() / 8 + pictureBytes + 256);

    out.append(kHeaderStart);
    for (const QChar c : faceName) {
        // A semicolon would end the name early; breaks have no place in it.
        if (c != QLatin1Char(';') && c.unicode() >= 0x20 && c != kLineSeparator &&
            c != kParagraphSeparator && c != kObjectReplacement)
            AppendCharacter(out, c.unicode());
    }
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

bool ReadRtf(QByteArrayView rtf, RtfContent& content, QString* error) {
    content = RtfContent();
    const QString reason = RtfReader(rtf, content).Read();
    if (error)
        *error = reason;
    return reason.isEmpty();
}
