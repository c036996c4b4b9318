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

// The text with every line ending in CR LF, as the record format has it: a peer shows a note
// whose lines end in a bare LF as one line. Lines that end in CR LF already stay as they are.
QString WithCrLfLineEnds(const QString& text);

// The records that deliver one note to one recipient, in order (exchange A): 10 of them for a
// sender without profile texts, 14 with all four, one more when the note answers another. The
// body and the quotes go with CR LF line ends.
// localAddress is the sender's address on this connection. An empty from-line becomes
// "FROM: " and the recipient field, and stays so in note.
QList<CMsg> BuildNoteRecords(const NoteIdentity& sender, const QString& localAddress,
                             OutgoingNote& note);

// Whether every record of the note stays within what a receiver reads (CMsg::kMaxTextBytes of
// text): a longer one would be sent and reported as reached, then dropped by the receiver.
bool NoteFitsReceivers(const NoteIdentity& sender, const OutgoingNote& note);

// Exchange B: the checker's request, and the checked program's answer to it, which is the
// received record made final and given the answering user's full name.
CMsg CheckRequest();
CMsg CheckAnswer(CMsg request, const QString& fullName);
