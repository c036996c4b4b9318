#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "shell/RtfCodec.h"
#include "shell/RtfControlWords.h"

// One \pict group as the RTF reader meets it: its format, its size words and its data, in hex
// or binary. Only a PNG picture is kept; other formats are passed over.
class RtfPictureGroup {
public:
    void ApplyWord(RtfWord word, int value, bool hasValue);
    // Takes hex digits and blanks up to the next backslash or brace, and returns where it
    // stopped.
    const char* ReadHex(const char* p, const char* end);
    void AppendBinary(QByteArrayView data) { m_data.append(data); }
    void MarkDamaged() { m_bDamaged = true; }

    bool IsPng() const { return m_bPng && !m_bOtherFormat; }
    // The picture with the size it is shown at; false when its data is not a whole PNG.
    bool TakePicture(RtfPicture& picture);

private:
    QByteArray m_data;
    int m_nHighNibble = -1;  // the first digit of a byte whose second is still to come
    bool m_bPng = false;
    bool m_bOtherFormat = false;
    bool m_bDamaged = false;
    int m_nWidthGoal = 0;
    int m_nHeightGoal = 0;
    int m_nScaleX = 100;  // percent
    int m_nScaleY = 100;
};
