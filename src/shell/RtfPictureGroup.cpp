#include "shell/RtfPictureGroup.h"

#include <algorithm>
#include <utility>

#include "shell/RtfFormat.h"

void RtfPictureGroup::ApplyWord(RtfWord word, int value, bool hasValue) {
    if (word == RtfWord::Pngblip)
        m_bPng = true;
    else if (word == RtfWord::Otherblip)
        m_bOtherFormat = true;
    else if (word == RtfWord::Picwgoal)
        m_nWidthGoal = value;
    else if (word == RtfWord::Pichgoal)
        m_nHeightGoal = value;
    else if (word == RtfWord::Picscalex && hasValue)
        m_nScaleX = value;
    else if (word == RtfWord::Picscaley && hasValue)
        m_nScaleY = value;
}

const char* RtfPictureGroup::ReadHex(const char* p, const char* end) {
    while (p < end) {
        const char c = *p;
        if (c == '\\' || c == '{' || c == '}')
            return p;
        ++p;
        const int nibble = RtfFormat::HexValue(c);
        if (nibble < 0) {
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                m_bDamaged = true;
        } else if (m_nHighNibble < 0) {
            m_nHighNibble = nibble;
        } else {
            m_data.append(static_cast<char>(m_nHighNibble << 4 | nibble));
            m_nHighNibble = -1;
        }
    }
    return p;
}

bool RtfPictureGroup::TakePicture(RtfPicture& picture) {
    if (m_bDamaged || !m_data.startsWith(RtfFormat::kPngSignature))
        return false;
    const auto scaled = [](int goal, int scale) {
        if (goal <= 0 || scale <= 0)
            return 0;
        return static_cast<int>(std::min<qint64>(qint64(goal) * scale / 100, RtfFormat::kMaxTwips));
    };
    picture.m_png = std::move(m_data);
    picture.m_nWidthTwips = scaled(m_nWidthGoal, m_nScaleX);
    picture.m_nHeightTwips = scaled(m_nHeightGoal, m_nScaleY);
    return true;
}
