#pragma once

#include <QList>
#include <QString>

#include "net/CMsg.h"

struct Settings;

// Who sends a note: the profile texts that go with every note, and the sender's note port.
struct NoteIdentity {
    QString m_strFullName;
    QString m_strLocation;
    QString m_strPhone;
    QString m_strFax;
    QString m_strQuote;
    qint64 m_nPort = 0;

    static NoteIdentity FromSettings(const Settings& settings);
};

// A note as its window holds it while it is sent.
struct OutgoingNote {
    QString m_strRecipientField;  // each recipient's name followed by ";"
    QString m_strBody;
    QString m_strQuote;     // the note being answered; empty for a new note
    QString m_strFromLine;  // set on first use and kept for every later recipient and send
};

// The records that deliver one note to one recipient, in order (exchange A): 10 of them for a
// sender without profile texts, 14 with all four, one more when the note answers another.
// localAddress is the sender's address on this connection. An empty from-line becomes
// "FROM: " and the recipient field, and stays so in note.
QList<CMsg> BuildNoteRecords(const NoteIdentity& sender, const QString& localAddress,
                             OutgoingNote& note);

// Exchange B: the checker's request, and the checked program's answer to it, which is the
// received record made final and given the answering user's full name.
CMsg CheckRequest();
CMsg CheckAnswer(CMsg request, const QString& fullName);
