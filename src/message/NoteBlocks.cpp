#include "message/NoteBlocks.h"

QString NoteBlocks::FromLine(const QString& name, const QString& timeStamp) {
    return QStringLiteral("FROM: %1 at %2").arg(name, timeStamp);
}

QStringList NoteBlocks::OutgoingBlock(const QString& recipientText, const QString& fullName,
                                      const QString& timeStamp, const QString& body) {
    return {QString(),
            QString::fromLatin1(kOutgoingBanner),
            QString(),
            QStringLiteral("TO: ") + recipientText,
            FromLine(fullName, timeStamp),
            QString(),
            body,
            QString()};
}

QStringList NoteBlocks::IncomingBanner() {
    return {QString(), QString::fromLatin1(kIncomingBanner), QString()};
}

QString NoteBlocks::SummaryLine(const QString& text, int maxChars) {
    if (maxChars < 1)
        return QString();
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        QString line = text.mid(start, end - start);
        for (QChar& c : line) {
            if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                c == QChar::ParagraphSeparator)
                c = QLatin1Char(' ');
        }
        line = line.simplified();
        if (!line.isEmpty()) {
            if (line.size() <= maxChars)
                return line;
            qsizetype keep = maxChars - 1;
            if (keep > 0 && line[keep - 1].isHighSurrogate())
                --keep;  // never half a character
            return line.left(keep) + QChar(0x2026);
        }
        start = end + 1;
    }
    return QString();
}
