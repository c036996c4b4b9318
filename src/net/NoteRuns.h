#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "addressbook/AddressBook.h"

struct NoteIdentity;
struct OutgoingNote;

// What a send or check run shows and records as it goes: the message window (on its
// user-interface thread) and the command-line sender each have their own.
class IRunReporter {
public:
    virtual ~IRunReporter() = default;
    // The run holds the window from the first call to the last.
    virtual void RunStarted() = 0;
    virtual void RunFinished() = 0;
    virtual void SetStatus(const QString& text) = 0;
    // The progress range becomes 0..count with step 1, at 0.
    virtual void SetProgressRange(int count) = 0;
    virtual void StepProgress() = 0;
    virtual void AppendLog(const QString& line) = 0;
    virtual void PlayErrorSound() = 0;
    // Send: a recipient was reached (it goes onto Last Senders).
    virtual void RecipientReached(const AddressEntry& entry) = 0;
    // Check: the address list item's mark (1 listening, 0 not) and its user's full name.
    virtual void SetMark(int index, int mark) = 0;
    virtual void SetFullName(int index, const QString& fullName) = 0;
    // True once the run should stop (its window is going away with the program).
    virtual bool IsCancelled() const { return false; }
};

// Shows and records nothing: for runs whose outcome is only their result, and the base of
// reporters that want a few of the calls.
class QuietRunReporter : public IRunReporter {
public:
    void RunStarted() override {}
    void RunFinished() override {}
    void SetStatus(const QString&) override {}
    void SetProgressRange(int) override {}
    void StepProgress() override {}
    void AppendLog(const QString&) override {}
    void PlayErrorSound() override {}
    void RecipientReached(const AddressEntry&) override {}
    void SetMark(int, int) override {}
    void SetFullName(int, const QString&) override {}
};

// An address list item to check.
struct CheckTarget {
    int m_nIndex = 0;
    AddressEntry m_entry;
};

namespace NoteRuns {

// Checks take at most this many selected addresses.
constexpr int kMaxChecked = 200;
// How long a check waits for the answer once connected.
constexpr int kCheckAnswerTimeoutMs = 30000;

// Delivers the note to each recipient in order. Runs on the caller's thread; the reporter is
// called in the run's order. Returns true when every recipient was reached.
bool RunSend(const QList<AddressEntry>& recipients, OutgoingNote& note, const NoteIdentity& sender,
             int timeoutSeconds, IRunReporter& reporter);
// Asks each target (the first 200) whether a copy listens there and who its user is. Returns
// true when every address answered the connect.
bool RunCheck(const QList<CheckTarget>& targets, int timeoutSeconds, IRunReporter& reporter,
              int answerTimeoutMs = kCheckAnswerTimeoutMs);

// One recipient: true when the connect succeeded and the records were written (write errors
// are logged per record and do not change the result).
bool SendToRecipient(const AddressEntry& recipient, OutgoingNote& note, const NoteIdentity& sender,
                     int timeoutSeconds, IRunReporter& reporter);
// cancelled, when given, ends the waits early.
// One address: true when the connect succeeded; fullName is the answer, empty without one.
bool CheckAddress(const AddressEntry& address, int timeoutSeconds, QString& fullName,
                  int answerTimeoutMs = kCheckAnswerTimeoutMs,
                  std::function<bool()> cancelled = {});

}  // namespace NoteRuns
