// The RTF reader: the text and PNG pictures of any plain RTF, whatever else the file holds.
#include <QCoreApplication>
#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/RtfCodec.h"
#include "shell/RtfControlWords.h"
#include "shell/RtfFormat.h"
#include "shell/RtfPictureGroup.h"

namespace {

using RtfFormat::HexValue;
using RtfFormat::kCp1252High;
using RtfFormat::kLineSeparator;
using RtfFormat::kObjectReplacement;
using RtfFormat::kParagraphSeparator;

constexpr char16_t kReplacement = 0xFFFD;
// Word processors nest a few dozen groups; deeper ones are read as skipped content so that a
// file of braces cannot make the stack grow with it.
constexpr std::size_t kMaxDepth = 100000;
// The RTF syntax allows 10 digits; longer numbers are damage.
constexpr int kMaxDigits = 10;
constexpr int kMaxWordLength = 32;
constexpr qsizetype kMaxPropertyName = 32;

QString Tr(const char* text) {
    return QCoreApplication::translate("RtfCodec", text);
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Bytes of text that stand for themselves whatever the code page.
bool IsPlainTextByte(char c) {
    return c >= 0x20 && c < 0x7f && c != '\\' && c != '{' && c != '}';
}

// Reads RTF as a stream of groups, control words and text into a log's content: the text of
// the document and its PNG pictures; everything else (fonts, formatting, fields' instructions)
// is passed over. One reader reads one input; ReadRtf is the way in.
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

    struct Parameter {
        int m_nValue = 0;
        bool m_bPresent = false;
        bool m_bTooLong = false;
    };

    Destination CurrentDestination() const {
        return m_nExcessDepth > 0 ? Destination::Skip : m_groups.back().m_destination;
    }
    void SetDestination(Destination destination) { m_groups.back().m_destination = destination; }
    void Fail(const char* reason);

    void OpenGroup();
    void CloseGroup();
    bool ReopenAfterEnd();
    void ReadText();
    void ReadBodyText();
    void ReadControl();
    void ReadSymbol(char symbol);
    void ReadHexEscape();
    Parameter ReadParameter();
    void ApplyWord(std::string_view name, const Parameter& parameter, bool starred);
    void ApplyBodyWord(RtfWord word, const Parameter& parameter);
    void ApplyShapeWord(RtfWord word);
    void ReadBinary(const Parameter& parameter);
    void FinishPicture();

    void Emit(char16_t unit);
    void EmitBreak(char16_t unit);
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
    RtfPictureGroup m_picture;
    QString m_strError;
};

}  // namespace

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

void RtfReader::Fail(const char* reason) {
    if (m_strError.isEmpty())
        m_strError = Tr(reason);
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
            m_p = m_picture.ReadHex(m_p, m_end);
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
            EmitBreak('\n');
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
    const std::optional<RtfWord> word = FindRtfWord(name);
    // "\*" marks a destination that a reader may skip when it does not know it.
    if (starred && (!word || (*word != RtfWord::Shppict && *word != RtfWord::Shpinst))) {
        SetDestination(Destination::Skip);
        return;
    }
    if (!word)
        return;
    switch (destination) {
        case Destination::Text:
            ApplyBodyWord(*word, parameter);
            return;
        case Destination::Picture:
            m_picture.ApplyWord(*word, parameter.m_nValue, parameter.m_bPresent);
            return;
        case Destination::ShapeInstructions:
            ApplyShapeWord(*word);
            return;
        case Destination::ShapePicture:
            if (*word == RtfWord::Pict) {
                m_picture = RtfPictureGroup();
                SetDestination(Destination::Picture);
            }
            return;
        default:
            return;
    }
}

void RtfReader::ApplyShapeWord(RtfWord word) {
    if (word == RtfWord::Sp) {
        m_propertyName.clear();
    } else if (word == RtfWord::Sn) {
        m_propertyName.clear();
        SetDestination(Destination::ShapePropertyName);
    } else if (word == RtfWord::Sv) {
        // Only "pib" is the shape's picture; "fillBlip" and others repeat or decorate it.
        SetDestination(m_propertyName == "pib" ? Destination::ShapePicture : Destination::Skip);
    } else if (word == RtfWord::Shptxt) {
        SetDestination(Destination::Text);
    }
}

void RtfReader::ApplyBodyWord(RtfWord word, const Parameter& parameter) {
    switch (word) {
        case RtfWord::SkipDestination:
            SetDestination(Destination::Skip);
            return;
        case RtfWord::Pict:
            m_picture = RtfPictureGroup();
            SetDestination(Destination::Picture);
            return;
        case RtfWord::Shpinst:
            SetDestination(Destination::ShapeInstructions);
            return;
        case RtfWord::Ansicpg:
            m_nCodePage = parameter.m_nValue;
            return;
        case RtfWord::Mac:
        case RtfWord::Pc:
        case RtfWord::Pca:
            m_nCodePage = 0;
            return;
        case RtfWord::Uc:
            m_groups.back().m_nUnicodeSkip =
                static_cast<quint8>(std::clamp(parameter.m_nValue, 0, 255));
            return;
        case RtfWord::U:
            if (!parameter.m_bTooLong)
                EmitCodePoint(parameter.m_nValue);
            m_nFallbackLeft = m_groups.back().m_nUnicodeSkip;
            return;
        case RtfWord::Par:
        case RtfWord::Cell:
            m_nFallbackLeft = 0;
            EmitBreak('\n');
            return;
        case RtfWord::Row:
            m_nFallbackLeft = 0;
            if (!m_text.isEmpty() && !m_text.endsWith(QLatin1Char('\n')))
                EmitBreak('\n');
            return;
        case RtfWord::Line:
            m_nFallbackLeft = 0;
            EmitBreak(kLineSeparator);
            return;
        case RtfWord::Tab:
            m_nFallbackLeft = 0;
            EmitBreak('\t');
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
        m_picture.MarkDamaged();
        return;
    }
    if (CurrentDestination() == Destination::Picture)
        m_picture.AppendBinary(QByteArrayView(m_p, parameter.m_nValue));
    m_p += parameter.m_nValue;
}

void RtfReader::FinishPicture() {
    RtfPictureGroup group = std::exchange(m_picture, RtfPictureGroup());
    if (!group.IsPng())
        return;
    RtfPicture picture;
    if (!group.TakePicture(picture)) {
        Fail(QT_TRANSLATE_NOOP("RtfCodec", "A picture in the file is damaged."));
        return;
    }
    m_content.m_pictures.append(std::move(picture));
    FlushSurrogate();
    m_text.append(QChar(kObjectReplacement));
}

// Paragraph and line breaks and tabs, the most frequent words, pair with no surrogate.
void RtfReader::EmitBreak(char16_t unit) {
    FlushSurrogate();
    m_text.append(QChar(unit));
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

bool ReadRtf(QByteArrayView rtf, RtfContent& content, QString* error) {
    content = RtfContent();
    const QString reason = RtfReader(rtf, content).Read();
    if (error)
        *error = reason;
    return reason.isEmpty();
}
