#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

struct RtfPicture {
    QByteArray m_png;       // PNG file bytes
    int m_nWidthTwips = 0;  // size to show it at; 0 = its own size
    int m_nHeightTwips = 0;
};

// A log's content: the text, with '\n' between paragraphs, '\t' for tabs, U+2028 for a line
// break inside a paragraph, and U+FFFC where a picture stands; the pictures in order.
struct RtfContent {
    QString m_strText;
    QList<RtfPicture> m_pictures;
};

// faceName and the size in half-points (20 = 10 pt) go into the font table and the body. The
// file carries the program's mark, a "\*\generator" group.
QByteArray WriteRtf(const RtfContent& content, const QString& faceName, int halfPoints);

// Whether a file that begins with these bytes was written by this program: by WriteRtf, or by
// an earlier version that wrote the same header without the mark. The first kb is enough.
bool IsWrittenByQuillpad(QByteArrayView start);
constexpr qsizetype kQuillpadHeaderBytes = 1024;

// Reads what it can of any plain RTF. False, with a user-readable reason in error, when the
// input is not RTF or is damaged; content then holds the text that could be read.
bool ReadRtf(QByteArrayView rtf, RtfContent& content, QString* error);
