#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QTextDocument;

// Lines of a log are held together in paragraphs of this many lines, joined by line breaks: a
// paragraph costs the document several times what a line break does, and a month's log of
// short lines would otherwise take seconds to open and tens of megabytes to hold. Shown and
// printed, the text is the same; saved, each line is a paragraph again.
inline constexpr int kLogLinesPerParagraph = 64;
// Lines appended to a log shown in its window join into smaller paragraphs: the view lays out
// the whole last paragraph again at every append, so a long one would make each append slower.
inline constexpr int kAppendedLinesPerParagraph = 8;

// The log document to RTF and back. Pictures live in the document as images (QTextImageFormat
// naming a resource of the document); they are saved as PNG. unwritten gets the number of
// objects left out because they cannot be written (a picture whose image is gone).
QByteArray DocumentToRtf(const QTextDocument& document, const QString& faceName, int halfPoints,
                         int* unwritten = nullptr);

// Replaces the document's content with what can be read of rtf; false, with the reason in
// error, when the file is not RTF, is damaged or holds a picture that cannot be shown.
bool RtfToDocument(QByteArrayView rtf, QTextDocument& document, QString* error);
