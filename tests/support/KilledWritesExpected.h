#pragma once

// What file_rewriter puts into each file in round k, shared with the test that kills it: every
// file's content follows from the round number alone.
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtEndian>
#include <optional>

#include "addressbook/AddressBook.h"
#include "message/NoteBlocks.h"
#include "platform/RegistryDocument.h"

namespace KilledWrites {

inline constexpr const char* kBookFile = "Crew.add";
inline constexpr const char* kBookDescription = "Crew";
inline constexpr const char* kRoundEntryPrefix = "Round ";
inline constexpr const char* kSettingsKey =
    "HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Rounds";
inline constexpr const char* kStampOfRounds = "09:05 AM - 03/04/96";

// The book holds these from its start, and one entry that each round rewrites.
inline QList<AddressEntry> FixedBookEntries() {
    return {{QStringLiteral("Anna"), QStringLiteral("10.0.0.1"), 6001},
            {QStringLiteral("Bob"), QStringLiteral("bobs-pc"), 6002}};
}

inline AddressEntry BookRoundEntry(int round) {
    return {QLatin1String(kRoundEntryPrefix) + QString::number(round),
            QStringLiteral("host-%1%2").arg(round).arg(QString(round % 13, QLatin1Char('x'))),
            1024 + round % 60000};
}

inline AddressEntry LastSenderEntry(int round) {
    return {QStringLiteral("Sender %1").arg(round),
            QStringLiteral("10.1.%1.%2").arg(round / 256 % 256).arg(round % 256), 6001};
}

inline AddressEntry OnLineEntry(int round) {
    return {QStringLiteral("Host %1").arg(round), QStringLiteral("pc-%1").arg(round), 6001};
}

// The lines a round appends to the log: a received note's block.
inline QStringList LogBlock(int round) {
    QStringList lines = NoteBlocks::IncomingBanner();
    lines << NoteBlocks::FromLine(QStringLiteral("Peer %1").arg(round),
                                  QLatin1String(kStampOfRounds))
          << QStringLiteral("Note number %1 {%2}")
                 .arg(round)
                 .arg(QString(round % 7, QLatin1Char('\\')))
          << QString();
    return lines;
}

// The round of the last block in a log's text; 0 when it holds none.
inline int LastLogRound(const QString& text) {
    static const QRegularExpression from(QStringLiteral("FROM: Peer (\\d+) at "));
    int round = 0;
    for (QRegularExpressionMatchIterator it = from.globalMatch(text); it.hasNext();)
        round = it.next().captured(1).toInt();
    return round;
}

inline QByteArray SettingsText(int round) {
    return "round " + QByteArray::number(round) + ' ' + QByteArray(round % 29, '"');
}

inline void SetSettingsRound(RegistryDocument& doc, int round) {
    RegKey& key = doc.EnsureKey(kSettingsKey);
    QByteArray number(4, '\0');
    qToLittleEndian(static_cast<quint32>(round), number.data());
    key.SetValue("Round", RegistryDocument::kTypeDword, number);
    key.SetValue("Text", RegistryDocument::kTypeString, SettingsText(round) + '\0');
}

// The round the store holds; nothing when it holds none.
inline std::optional<int> SettingsRound(const RegistryDocument& doc) {
    const RegKey* key = doc.FindKey(kSettingsKey);
    const RegValue* value = key ? key->FindValue("Round") : nullptr;
    if (!value || value->data.size() != 4)
        return std::nullopt;
    return static_cast<int>(qFromLittleEndian<quint32>(value->data.constData()));
}

}  // namespace KilledWrites
