#include "net/NoteExchange.h"

#include "app/Settings.h"

NoteIdentity NoteIdentity::FromSettings(const Settings& settings) {
    return NoteIdentity{settings.m_strFullName, settings.m_strLocation, settings.m_strPhone,
                        settings.m_strFax,      settings.m_strQuote,    settings.m_nPort};
}

QString WithCrLfLineEnds(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\n', QStringLiteral("\r\n"));
    return lines;
}

QList<CMsg> BuildNoteRecords(const NoteIdentity& sender, const QString& localAddress,
                             OutgoingNote& note) {
    QList<CMsg> records;
    records.append(CMsg(MSG_SENDER_NAME, sender.m_strFullName));
    records.append(CMsg(MSG_SENDER_ADDRESS, localAddress));
    // The port as the "%d" of its stored value.
    records.append(CMsg(MSG_SENDER_PORT, QString::number(static_cast<qint32>(sender.m_nPort))));
    records.append(CMsg(MSG_SENDER_DONE));
    records.append(CMsg(MSG_BEGIN));
    if (!note.m_strQuote.isEmpty())
        records.append(CMsg(MSG_QUOTE, WithCrLfLineEnds(note.m_strQuote)));
    if (note.m_strFromLine.isEmpty())
        note.m_strFromLine = QStringLiteral("FROM: ") + note.m_strRecipientField;
    records.append(CMsg(MSG_FROM_LINE, note.m_strFromLine));
    records.append(CMsg(MSG_TEXT_SPACED, QStringLiteral("TO: ") + note.m_strRecipientField));
    records.append(CMsg(MSG_TEXT, WithCrLfLineEnds(note.m_strBody)));
    records.append(CMsg(MSG_TEXT, QString()));
    if (!sender.m_strLocation.isEmpty())
        records.append(CMsg(MSG_TEXT, QStringLiteral("Location: ") + sender.m_strLocation));
    if (!sender.m_strPhone.isEmpty())
        records.append(CMsg(MSG_TEXT, QStringLiteral("Phone: ") + sender.m_strPhone));
    if (!sender.m_strFax.isEmpty())
        records.append(CMsg(MSG_TEXT, QStringLiteral("Fax: ") + sender.m_strFax));
    if (!sender.m_strQuote.isEmpty())
        records.append(CMsg(MSG_TEXT, WithCrLfLineEnds(sender.m_strQuote)));
    records.append(CMsg(MSG_END));
    return records;
}

bool NoteFitsReceivers(const NoteIdentity& sender, const OutgoingNote& note) {
    OutgoingNote copy = note;
    // The longest address text a connection can have.
    const QString address(45, u'0');
    for (const CMsg& record : BuildNoteRecords(sender, address, copy)) {
        if (record.m_strData.size() > CMsg::kMaxTextBytes)
            return false;
    }
    return true;
}

CMsg CheckRequest() {
    return CMsg(MSG_CHECK);
}

CMsg CheckAnswer(CMsg request, const QString& fullName) {
    request.m_bFinal = 1;
    request.m_dwCode = MSG_CHECK;
    request.m_strData = fullName.toLocal8Bit();
    return request;
}
