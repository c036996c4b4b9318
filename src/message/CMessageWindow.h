#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <memory>

#include "addressbook/AddressBook.h"
#include "net/CMsg.h"
#include "net/NoteExchange.h"

class CNoteSocket;
class CQuillpadView;
class WindowRunReporter;
struct RunLink;
class IMessageHost;
class QListWidgetItem;
class QTcpSocket;
class QThread;
class QToolBar;

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
// whole note has arrived (or, for a check, answers and goes unseen).
class CMessageWindow : public QDialog {
    Q_OBJECT
public:
    enum Command : int {
        ID_TO = 2000,
        ID_CLEAR,
        ID_SELECT,
        ID_DESELECT,
        ID_SEND,
        ID_REPLY,
        ID_CHECK,
        ID_ERASE,
        ID_EXIT,
    };
    enum Mark : int { NotListening = 0, Listening = 1, Unknown = 2 };
    // Destroys every message window still open (a run of theirs is stopped): they go with the
    // program.
    static void DestroyAll();
    // Open windows whose note area holds text the user wrote and has not sent.
    static int UnsentNoteCount();

    static constexpr int kRecipientFieldLimit = 1200;
    static constexpr int kNoteAreaLimit = 60000;
    static constexpr int kMaxAdded = 200;  // addresses taken by To: at once
    // A window that goes while its run goes on waits this long at most for the run to end.
    static constexpr int kRunStopWaitMs = 2000;

    CMessageWindow(IMessageHost& host, CQuillpadView* logView, bool incoming);
    ~CMessageWindow() override;

    // Incoming: the window takes over the note socket of an accepted connection, whose
    // records it then acts on.
    void Adopt(CNoteSocket* socket);

    void OnCommand(int id);
    bool IsCommandEnabled(int id) const;
    bool IsBusy() const { return m_bSending || m_bChecking; }
    bool IsIncoming() const { return m_bIncoming; }
    bool HoldsReceivedNote() const { return m_bReceived; }
    bool IsAnswered() const { return m_bAnswered; }
    bool HoldsUnsentNote() const;
    // Incoming: the connection is still being read.
    bool IsReading() const { return m_socket != nullptr; }

    const QList<RecipientEntry>& Recipients() const { return m_recipients; }
    const QList<RecipientEntry>& AddressItems() const { return m_addressItems; }
    const BookListing& Listing() const { return m_listing; }
    QString SenderName() const { return m_strSenderName; }
    QString SenderAddress() const { return m_strSenderAddress; }
    qint32 SenderPort() const { return m_nSenderPort; }
    QString QuotedText() const { return m_note.m_strQuote; }
    QString FromLine() const { return m_note.m_strFromLine; }
    // The first line of a received note's body, short enough for a desktop notification.
    QString BodyLine() const { return m_strBodyLine; }
    // Shows the window in its normal state, in front and active.
    void BringForward();

    // Acting on one received record.
    void OnRecord(const CMsg& msg);

Q_SIGNALS:
    // A Send or Check run of this window has ended (for tests and the benchmark).
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    friend class WindowRunReporter;

    void BuildToolBar();
    void EnableCommand(int id, bool enabled);
    void FillBookList(bool mayAsk);
    void OnBookSelected();
    void RefreshBooks();
    void OnAddressSelectionChanged();
    void OnAddressDoubleClicked(QListWidgetItem* item);
    void AddRecipient(const RecipientEntry& entry);
    void Deselect();
    void ClearRecipients();
    bool HasSenderName();
    void StartSend();
    void StartCheck();
    void StartRun(std::function<void(WindowRunReporter&)> run);
    void OnRunFinished();
    void OnNoteEnd();
    void ReplyMode();
    void OnSocketClosed();
    void Log(const QString& text, bool newline = true);
    void AppendNote(const QString& text, bool newline);
    // Keeps what is typed or pasted into the note area within kNoteAreaLimit characters.
    void KeepNoteWithinLimit(int position, int removed, int added);
    void LogAndNote(const QString& text, bool newline = true);
    void SetStatus(const QString& text);
    void SetMark(int row, int mark);
    void SetFullName(int row, const QString& fullName);
    QListWidgetItem* ItemAtRow(int row) const;
    void PlayErrorSound();
    void OnClosing();

    std::unique_ptr<Ui::CMessageWindow> m_ui;
    QToolBar* m_toolBar = nullptr;
    IMessageHost& m_host;
    QPointer<CQuillpadView> m_logView;
    const bool m_bIncoming;
    CNoteSocket* m_socket = nullptr;
    BookListing m_listing;
    QList<RecipientEntry> m_addressItems;
    bool m_bAddressesLoaded = false;
    QList<RecipientEntry> m_recipients;
    bool m_bRecipientsPresent = false;
    OutgoingNote m_note;  // body, recipient text, quoted text and from-line
    QString m_strSenderName;
    QString m_strSenderAddress;
    qint32 m_nSenderPort = 0;
    QString m_strBodyLine;
    bool m_bBodySeen = false;
    bool m_bSending = false;
    bool m_bChecking = false;
    bool m_bReceived = false;
    bool m_bAnswered = false;
    bool m_bNoteCut = false;
    QString m_strSentBody;  // the note as its last Send took it
    bool m_bClosed = false;
    // The thread of the Send or Check that runs, and its link to this window.
    QThread* m_worker = nullptr;
    std::shared_ptr<RunLink> m_run;
};
