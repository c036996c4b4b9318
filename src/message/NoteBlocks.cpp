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
