#pragma once

#include <QCoreApplication>
#include <QString>
#include <functional>

#include "addressbook/AddressBook.h"
#include "net/CMsg.h"

struct OutgoingNote;

// The rules for the records of one incoming connection: who sent the note, what the log and
// the note area receive and in which order, when the note is whole, and what Reply makes of
// it. The window that shows the note implements the output; the rules hold no widget.
class IncomingNote {
    Q_DECLARE_TR_FUNCTIONS(IncomingNote)
public:
    // What the rules ask of the window, called in the order the window must carry it out.
    class Output {
    public:
        virtual ~Output() = default;
        // A line for the log, written with a line end after it.
        virtual void LogLine(const QString& line) = 0;
        // A line appended to the note area, with a line end after it.
        virtual void NoteLine(const QString& line) = 0;
        virtual void SetNoteReadOnly(bool readOnly) = 0;
        virtual void ClearNote() = 0;
        virtual void AppendRecipientText(const QString& text) = 0;
        virtual void SetRecipientText(const QString& text) = 0;
        // One more entry at the end of the recipient list (the recipient text is set apart).
        virtual void AppendRecipientEntry(const AddressEntry& entry) = 0;
        virtual void SetCaption(const QString& caption) = 0;
        virtual void SetGroupTitle(const QString& title) = 0;
        // id is one of MessageCommands.
        virtual void EnableCommand(int id, bool enabled) = 0;
        virtual void PushLastSender(const AddressEntry& sender) = 0;
        // The note is whole: the note area scrolled to its end, a full progress bar, the time
        // stamp in the status line, the window shown, the main window told of a new note.
        virtual void ShowWholeNote(const QString& timeStamp) = 0;
        // A change of the count of shown notes neither answered nor closed.
        virtual void CountUnanswered(int change) = 0;
        // A check arrived on the connection: answer it, then go unseen.
        virtual void AnswerCheck(const CMsg& request) = 0;
    };
    using Clock = std::function<QString()>;

    // timeStamp gives the receiver's local time for the FROM line and the status line.
    explicit IncomingNote(Output& output, Clock timeStamp = {});

    // Acts on one received record. Once the note is whole (or its window goes), records change
    // nothing: a second end would count the note again, a check would close the shown note.
    void OnRecord(const CMsg& msg);
    // Switches to reply mode. recipientText and shownNote are what the recipient field and the
    // note area show; answer takes the from-line, the quote and the recipient text of the reply.
    void Reply(const QString& recipientText, const QString& shownNote, OutgoingNote& answer);
    // The window goes: a whole note that was not answered is counted off, once.
    void Close();

    QString SenderName() const { return m_strSenderName; }
    QString SenderAddress() const { return m_strSenderAddress; }
    qint32 SenderPort() const { return m_nSenderPort; }
    AddressEntry Sender() const { return {m_strSenderName, m_strSenderAddress, m_nSenderPort}; }
    // The first line of the note's body, short enough for a desktop notification.
    QString BodyLine() const { return m_strBodyLine; }
    bool IsWhole() const { return m_bWhole; }
    bool IsAnswered() const { return m_bAnswered; }

private:
    void OnSenderName(const QString& name);
    void OnNoteEnd();
    void LogAndNote(const QString& line);

    Output& m_out;
    Clock m_timeStamp;
    QString m_strSenderName;
    QString m_strSenderAddress;
    qint32 m_nSenderPort = 0;
    QString m_strBodyLine;
    bool m_bBodySeen = false;
    bool m_bWhole = false;
    bool m_bAnswered = false;
    bool m_bClosed = false;
};
