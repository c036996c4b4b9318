#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <memory>

#include "addressbook/AddressBook.h"
#include "message/AddressMarkIcon.h"
#include "message/IncomingNote.h"
#include "message/MessageCommands.h"
#include "net/CMsg.h"
#include "net/NoteExchange.h"
#include "net/NoteRuns.h"

class CNoteSocket;
class CQuillpadView;
class IMessageHost;
class MessageRun;
class MessageToolBar;
class QListWidgetItem;

namespace Ui {
class CMessageWindow;
}

// An address with the full name of its user, once a check has learned it.
struct RecipientEntry {
    AddressEntry m_entry;
    QString m_strFullName;
};

// The window in which a note is written, addressed, sent, received and answered. A compose
// window is shown at once, empty; a window made for an incoming connection stays hidden until a
// whole note has arrived (or, for a check, answers and goes unseen). The window shows and
// collects: the rules for received records are IncomingNote's, and a Send or Check runs as a
// MessageRun, which shows its progress here.
class CMessageWindow : public QDialog, private IncomingNote::Output, private QuietRunReporter {
    Q_OBJECT
public:
    using Command = MessageCommands::Command;
    using enum MessageCommands::Command;
    using Mark = AddressMark::Value;
    using enum AddressMark::Value;
    // Destroys every message window still open (a run of theirs is stopped): they go with the
    // program.
    static void DestroyAll();
    // Open windows whose note area holds text the user wrote and has not sent.
    static int UnsentNoteCount();

    static constexpr int kRecipientFieldLimit = 1200;
    static constexpr int kNoteAreaLimit = 60000;
    static constexpr int kMaxAdded = 200;  // addresses taken by To: at once

    CMessageWindow(IMessageHost& host, CQuillpadView* logView, bool incoming);
    ~CMessageWindow() override;

    // Incoming: the window takes over the note socket of an accepted connection, whose
    // records it then acts on.
    void Adopt(CNoteSocket* socket);

    void OnCommand(int id);
    bool IsCommandEnabled(int id) const;
    bool IsBusy() const { return m_bSending || m_bChecking; }
    bool IsIncoming() const { return m_bIncoming; }
    // Closed, though perhaps not yet deleted.
    bool IsClosed() const { return m_bClosed; }
    bool HoldsReceivedNote() const { return m_incoming.IsWhole(); }
    bool IsAnswered() const { return m_incoming.IsAnswered(); }
    bool HoldsUnsentNote() const;
    // Incoming: the connection is still being read.
    bool IsReading() const { return m_socket != nullptr; }

    const QList<RecipientEntry>& Recipients() const { return m_recipients; }
    const QList<RecipientEntry>& AddressItems() const { return m_addressItems; }
    const BookListing& Listing() const { return m_listing; }
    QString SenderName() const { return m_incoming.SenderName(); }
    QString SenderAddress() const { return m_incoming.SenderAddress(); }
    qint32 SenderPort() const { return m_incoming.SenderPort(); }
    QString QuotedText() const { return m_note.m_strQuote; }
    QString FromLine() const { return m_note.m_strFromLine; }
    // The first line of a received note's body, short enough for a desktop notification.
    QString BodyLine() const { return m_incoming.BodyLine(); }
    // Shows the window in its normal state, in front and active.
    void BringForward();

    // Acting on one received record.
    void OnRecord(const CMsg& msg) { m_incoming.OnRecord(msg); }

Q_SIGNALS:
    // A Send or Check run of this window has ended (for tests and the benchmark).
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    // IncomingNote::Output
    void LogLine(const QString& line) override { Log(line); }
    void NoteLine(const QString& line) override { AppendNote(line, true); }
    void SetNoteReadOnly(bool readOnly) override;
    void ClearNote() override;
    void AppendRecipientText(const QString& text) override;
    void SetRecipientText(const QString& text) override;
    void AppendRecipientEntry(const AddressEntry& entry) override;
    void SetCaption(const QString& caption) override { setWindowTitle(caption); }
    void SetGroupTitle(const QString& title) override;
    void EnableCommand(int id, bool enabled) override;
    void PushLastSender(const AddressEntry& sender) override;
    void ShowWholeNote(const QString& timeStamp) override;
    void CountUnanswered(int change) override;
    void AnswerCheck(const CMsg& request) override;

    // What a Send or Check run shows (QuietRunReporter), on this window's thread.
    void SetStatus(const QString& text) override;
    void SetProgressRange(int count) override;
    void StepProgress() override;
    void AppendLog(const QString& line) override { Log(line); }
    void SetMark(int row, int mark) override;
    void SetFullName(int row, const QString& fullName) override;
    void PlayErrorSound() override;

    void FillBookList(bool mayAsk);
    void OnBookSelected();
    void RefreshBooks();
    void OnAddressSelectionChanged();
    void OnAddressDoubleClicked(QListWidgetItem* item);
    void AddRecipient(const RecipientEntry& entry);
    void AddSelectedRecipients();
    void Deselect();
    void ClearRecipients();
    bool HasSenderName();
    void StartSend();
    void StartCheck();
    // done runs on this window's thread once the work has ended, unless the window went first.
    void StartRun(std::function<void(IRunReporter&)> work, std::function<void()> done = {});
    void OnRunFinished();
    void OnSocketClosed();
    void Log(const QString& text, bool newline = true);
    void AppendNote(const QString& text, bool newline);
    // Keeps what is typed or pasted into the note area within kNoteAreaLimit characters.
    void KeepNoteWithinLimit(int position, int removed, int added);
    QListWidgetItem* ItemAtRow(int row) const;
    void OnClosing();

    std::unique_ptr<Ui::CMessageWindow> m_ui;
    MessageToolBar* m_toolBar = nullptr;
    IMessageHost& m_host;
    QPointer<CQuillpadView> m_logView;
    const bool m_bIncoming;
    CNoteSocket* m_socket = nullptr;
    BookListing m_listing;
    QList<RecipientEntry> m_addressItems;
    bool m_bAddressesLoaded = false;
    QList<RecipientEntry> m_recipients;
    bool m_bRecipientsPresent = false;
    OutgoingNote m_note;      // body, recipient text, quoted text and from-line
    IncomingNote m_incoming;  // sender, received-note and reply state
    bool m_bSending = false;
    bool m_bChecking = false;
    bool m_bNoteCut = false;
    QString m_strSentBody;  // the note as its last Send took it
    bool m_bClosed = false;
    // The Send or Check that runs, and what is done once it has ended.
    std::unique_ptr<MessageRun> m_run;
    std::function<void()> m_runDone;
};
