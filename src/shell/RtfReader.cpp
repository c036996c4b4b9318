#include "shell/RtfReader.h"

#include <QCoreApplication>
#include <algorithm>
#include <limits>
#include <utility>

#include "shell/RtfFormat.h"

namespace {

using RtfFormat::kCp1252High;
using RtfFormat::kLineSeparator;
using RtfFormat::kMaxTwips;
using RtfFormat::kObjectReplacement;
using RtfFormat::kParagraphSeparator;
using RtfFormat::kPngSignature;

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
            ApplyPictureWord(*word, parameter);
            return;
        case Destination::ShapeInstructions:
            ApplyShapeWord(*word);
            return;
        case Destination::ShapePicture:
            if (*word == RtfWord::Pict) {
                m_picture = Picture();
                SetDestination(Destination::Picture);
            }
            return;
        default:
            return;
    }
}

void RtfReader::ApplyPictureWord(RtfWord word, const Parameter& parameter) {
    if (word == RtfWord::Pngblip)
        m_picture.m_bPng = true;
    else if (word == RtfWord::Otherblip)
        m_picture.m_bOtherFormat = true;
    else if (word == RtfWord::Picwgoal)
        m_picture.m_nWidthGoal = parameter.m_nValue;
    else if (word == RtfWord::Pichgoal)
        m_picture.m_nHeightGoal = parameter.m_nValue;
    else if (word == RtfWord::Picscalex && parameter.m_bPresent)
        m_picture.m_nScaleX = parameter.m_nValue;
    else if (word == RtfWord::Picscaley && parameter.m_bPresent)
        m_picture.m_nScaleY = parameter.m_nValue;
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
            m_picture = Picture();
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
            Emit('\n');
            return;
        case RtfWord::Row:
            m_nFallbackLeft = 0;
            if (!m_text.isEmpty() && !m_text.endsWith(QLatin1Char('\n')))
                Emit('\n');
            return;
        case RtfWord::Line:
            m_nFallbackLeft = 0;
            Emit(kLineSeparator);
            return;
        case RtfWord::Tab:
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

bool ReadRtf(QByteArrayView rtf, RtfContent& content, QString* error) {
    content = RtfContent();
    const QString reason = RtfReader(rtf, content).Read();
    if (error)
        *error = reason;
    return reason.isEmpty();
}
