#pragma once

#include <QObject>
#include <functional>

#include "message/IncomingNote.h"

class CNoteSocket;

// A received note that gets no window of its own (too many are open already): its records
// follow the same rules as in a window (IncomingNote), so it is logged, its sender goes onto
// Last Senders and it is counted when whole; it only shows nowhere. It goes when its
// connection ends.
class WindowlessNote : public QObject, private IncomingNote::Output {
    Q_OBJECT
public:
    struct Sinks {
        // A line for the log, with a line end after it.
        std::function<void(const QString&)> m_log;
        std::function<void(const AddressEntry&)> m_pushLastSender;
        // The answer to a check that arrives on the connection.
        QString m_strFullName;
    };

    // Takes over socket (an accepted connection) and acts on every record read on it after
    // the ones given to OnRecord.
    WindowlessNote(CNoteSocket* socket, Sinks sinks, IncomingNote::Clock timeStamp = {},
                   QObject* parent = nullptr);

    void OnRecord(const CMsg& msg) { m_incoming.OnRecord(msg); }
    const IncomingNote& Note() const { return m_incoming; }

Q_SIGNALS:
    // Before the note's first line goes into the log: where the note begins.
    void logStarting();
    // The note is whole: it counts as one unanswered note from now on.
    void noteWhole(WindowlessNote* note);

private:
    // IncomingNote::Output: the log and Last Senders; what a window would show is dropped.
    void LogLine(const QString& line) override;
    void NoteLine(const QString&) override {}
    void SetNoteReadOnly(bool) override {}
    void ClearNote() override {}
    void AppendRecipientText(const QString&) override {}
    void SetRecipientText(const QString&) override {}
    void AppendRecipientEntry(const AddressEntry&) override {}
    void SetCaption(const QString&) override {}
    void SetGroupTitle(const QString&) override {}
    void EnableCommand(int, bool) override {}
    void PushLastSender(const AddressEntry& sender) override;
    void ShowWholeNote(const QString&) override {}
    void CountUnanswered(int change) override;
    void AnswerCheck(const CMsg& request) override;

    CNoteSocket* m_socket;
    Sinks m_sinks;
    IncomingNote m_incoming;
    bool m_bLogStarted = false;
};
