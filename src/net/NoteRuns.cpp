#include "net/NoteRuns.h"

#include <QCoreApplication>

#include "app/AppFunctions.h"
#include "net/CNoteSocket.h"
#include "net/NoteExchange.h"

namespace NoteRuns {

bool SendToRecipient(const AddressEntry& recipient, OutgoingNote& note, const NoteIdentity& sender,
                     int timeoutSeconds, IRunReporter& reporter) {
    CNoteSocket socket;
    socket.SetCancelCheck([&reporter] { return reporter.IsCancelled(); });
    QString reason;  // not shown: an unreachable recipient is reported by name only
    if (!socket.ConnectTo(&reason, recipient.m_strAddress, recipient.m_nPort, timeoutSeconds))
        return false;
    socket.OpenStreams();
    for (const CMsg& record : BuildNoteRecords(sender, socket.LocalAddress(), note)) {
        if (!socket.SendMsg(record))
            reporter.AppendLog(QStringLiteral("Error sending on socket"));
    }
    socket.Close();
    reporter.RecipientReached(recipient);
    return true;
}

bool CheckAddress(const AddressEntry& address, int timeoutSeconds, QString& fullName,
                  int answerTimeoutMs, std::function<bool()> cancelled) {
    fullName.clear();
    CNoteSocket socket;
    socket.SetCancelCheck(std::move(cancelled));
    QString reason;
    if (!socket.ConnectTo(&reason, address.m_strAddress, address.m_nPort, timeoutSeconds))
        return false;
    socket.OpenStreams();
    CMsg answer;
    // The answer's code and flag are not looked at: its text is the full name.
    if (socket.SendMsg(CheckRequest()) &&
        socket.ReceiveMsg(answer, answerTimeoutMs) == CNoteSocket::Receive::Record) {
        fullName = answer.Text();
    }
    socket.Close();
    return true;
}

bool RunSend(const QList<AddressEntry>& recipients, OutgoingNote& note, const NoteIdentity& sender,
             int timeoutSeconds, IRunReporter& reporter) {
    if (recipients.isEmpty())
        return true;
    reporter.RunStarted();
    reporter.SetProgressRange(static_cast<int>(recipients.size()));
    if (!NoteFitsReceivers(sender, note)) {
        reporter.AppendLog(QCoreApplication::translate(
            "NoteRuns", "The note is longer than a receiver accepts; it was not sent."));
        reporter.PlayErrorSound();
        reporter.SetStatus(GetTimeStamp());
        reporter.RunFinished();
        return false;
    }
    bool allReached = true;
    for (const AddressEntry& recipient : recipients) {
        if (reporter.IsCancelled())
            return false;
        reporter.SetStatus(QStringLiteral("Sending your note to %1...").arg(recipient.m_strName));
        if (SendToRecipient(recipient, note, sender, timeoutSeconds, reporter)) {
            reporter.StepProgress();
        } else {
            allReached = false;
            reporter.AppendLog(QStringLiteral("%1 is not listening...").arg(recipient.m_strName));
        }
    }
    if (!allReached)
        reporter.PlayErrorSound();
    reporter.SetStatus(GetTimeStamp());
    reporter.RunFinished();
    return allReached;
}

bool RunCheck(const QList<CheckTarget>& targets, int timeoutSeconds, IRunReporter& reporter,
              int answerTimeoutMs) {
    const QList<CheckTarget> checked = targets.mid(0, kMaxChecked);
    if (checked.isEmpty())
        return true;
    reporter.RunStarted();
    reporter.SetProgressRange(static_cast<int>(checked.size()));
    bool allAnswered = true;
    for (const CheckTarget& target : checked) {
        if (reporter.IsCancelled())
            return false;
        reporter.SetStatus(QStringLiteral("Checking %1...").arg(target.m_entry.m_strName));
        QString fullName;
        if (CheckAddress(target.m_entry, timeoutSeconds, fullName, answerTimeoutMs,
                         [&reporter] { return reporter.IsCancelled(); })) {
            reporter.SetMark(target.m_nIndex, 1);
            reporter.SetFullName(target.m_nIndex, fullName);
        } else {
            reporter.SetMark(target.m_nIndex, 0);
            allAnswered = false;
        }
        reporter.StepProgress();
    }
    if (!allAnswered)
        reporter.PlayErrorSound();
    reporter.SetStatus(GetTimeStamp());
    reporter.RunFinished();
    return allAnswered;
}

}  // namespace NoteRuns
