#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <string_view>
#include <vector>

#include "shell/RtfCodec.h"
#include "shell/RtfControlWords.h"

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
    void Fail(const char* reason);

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
    void ApplyBodyWord(RtfWord word, const Parameter& parameter);
    void ApplyPictureWord(RtfWord word, const Parameter& parameter);
    void ApplyShapeWord(RtfWord word);
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
