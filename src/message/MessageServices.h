#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <memory>

#include "addressbook/RecentListWriter.h"
#include "message/IMessageHost.h"
#include "net/CMsg.h"
#include "shell/LogViewServices.h"

class AddressBookRetrieval;
class CListeningSocket;
class CMainFrame;
class CMessageWindow;
class LogWorkspace;
class CNoteSocket;
class DesktopNotifier;
class NoteNotice;
class QTextCursor;

// The network side of the log views and what message windows need of the program: the hub's
// listening socket and announcement receiver, announcements, new notes, and a window for each
// incoming connection.
class MessageServices : public QObject, public LogViewServices, public IMessageHost {
    Q_OBJECT
public:
    // Incoming connections open at once: being read, their note waiting to be handled, or
    // still receiving into a window. Further ones wait in the listening socket's queues. Fewer
    // where the limit on open files would not leave room for them (MaxOpenConnections).
    static constexpr int kMaxOpenConnections = 1024;
    // Received notes are handled (a window made, the note logged) in turns of this long at most;
    // what comes beyond a turn waits, read, for the next one. Connections go on being read and
    // checks answered between the turns, however many notes arrive at once.
    static constexpr int kHandlingTurnMs = 50;
    // Windows of received notes open at once. A note beyond them is logged, counted and
    // announced by the one notice window, but gets no window: a flood of notes must not bury
    // the desktop in windows and use up its memory.
    static constexpr int kMaxNoteWindows = 100;
    // Characters of a sender's name in a desktop notification.
    static constexpr int kNotifiedNameLimit = 64;

    explicit MessageServices(IApplication& app, QObject* parent = nullptr);
    ~MessageServices() override;
    // The main window (its status bar shows a retrieval's progress) and the log documents
    // (incoming notes go into the current log), once they exist.
    void Attach(CMainFrame* frame, LogWorkspace* workspace);

    // LogViewServices
    bool StartListening(CQuillpadView& view, QString* error) override;
    bool SendLogonAnnouncement(CQuillpadView& view, QString* error) override;
    bool CanSendMessage() const override { return true; }
    void SendMessage(CQuillpadView& view) override;

    // IMessageHost
    IApplication& App() override { return m_app; }
    CQuillpadView* CurrentLogView() override;
    std::shared_ptr<RecentListWriter> RecentLists() override { return m_recentLists; }
    void NotifyNewMessage(CMessageWindow& window) override;
    bool CanGetAddressBooks() const override;
    void GetAddressBooks(QWidget* parent, std::function<void()> done) override;
    void UpdateAddressBooks(CQuillpadView& view) override;
    AddressBookRetrieval& Retrieval() { return *m_retrieval; }

    int MaxOpenConnections() const { return m_nMaxOpenConnections; }
    // Received notes read but not yet handled.
    int WaitingNoteCount() const { return static_cast<int>(m_toHandle.size()); }

    // The compose window made last (for tests).
    CMessageWindow* LastComposeWindow() const;
    // Windows of received notes that are open (hidden ones still reading included).
    int OpenNoteWindowCount() const;
    // The window that counts the notes that got none of their own, while it is open.
    NoteNotice* Notice() const;

Q_SIGNALS:
    // A received note has been shown: the main window plays the Message sound and restarts
    // its reminder.
    void newMessage();
    // An incoming connection was taken (not one closed at once for being too many).
    void connectionAccepted();
    // A window was made for an incoming note.
    void incomingWindowCreated(CMessageWindow* window);
    // A note without a window of its own has arrived whole.
    void windowlessNoteArrived();

private:
    void ProcessPendingAccept(CQuillpadView& view, CListeningSocket& server);
    void OnFirstRecord(QPointer<CQuillpadView> view, CNoteSocket* socket, const CMsg& msg);
    // Whether a note that comes now may still be handled at once.
    bool TurnLeft();
    void PostNextTurn();
    void HandleWaitingNotes();
    void HandleNote(QPointer<CQuillpadView> view, CNoteSocket* socket, const CMsg& msg);
    void OnNotificationClicked(quint32 id);
    void ReceiveWithoutWindow(QPointer<CQuillpadView> view, CNoteSocket* socket, const CMsg& msg);
    void OnWindowlessNoteWhole(CQuillpadView* view, const QTextCursor& start);
    void ShowInLog(CQuillpadView* view, const QTextCursor& start);

    IApplication& m_app;
    QPointer<LogWorkspace> m_workspace;
    const int m_nMaxOpenConnections;
    QList<QPointer<CNoteSocket>> m_reading;  // every incoming connection still open
    // Notes whose first record has been read, their connections held until they are handled.
    struct WaitingNote {
        QPointer<CQuillpadView> m_view;
        QPointer<CNoteSocket> m_socket;
        CMsg m_first;
    };
    QQueue<WaitingNote> m_toHandle;
    bool m_bHandlingPosted = false;
    QElapsedTimer m_turn;
    bool m_bInTurn = false;
    QPointer<CMessageWindow> m_lastCompose;
    QList<QPointer<CMessageWindow>> m_noteWindows;
    QPointer<NoteNotice> m_notice;
    AddressBookRetrieval* m_retrieval;
    std::shared_ptr<RecentListWriter> m_recentLists;
    DesktopNotifier* m_notifier;
    // The window each desktop notification of a received note stands for.
    QHash<quint32, QPointer<CMessageWindow>> m_notified;
};
