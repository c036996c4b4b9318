#include "message/MessageServices.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>

#include "addressbook/AddressBookRetrieval.h"
#include "addressbook/CLoginSocket.h"
#include "addressbook/LogonRecord.h"
#include "app/Settings.h"
#include "message/CMessageWindow.h"
#include "message/NoteBlocks.h"
#include "message/NoteNotice.h"
#include "message/WindowlessNote.h"
#include "net/CListeningSocket.h"
#include "net/CNoteSocket.h"
#include "net/NoteExchange.h"
#include "platform/DesktopNotifier.h"
#include "platform/OpenFiles.h"
#include "shell/CQuillpadView.h"
#include "shell/IApplication.h"
#include "shell/LogWorkspace.h"

namespace {

// Files kept for everything else the program opens (logs, books, settings, the display).
constexpr int kFilesKeptFree = 128;

int OpenConnectionBound() {
    return std::clamp(OpenFiles::Limit() - CListeningSocket::kMaxWaiting - kFilesKeptFree, 16,
                      MessageServices::kMaxOpenConnections);
}

}  // namespace

MessageServices::MessageServices(IApplication& app, QObject* parent)
    : QObject(parent),
      m_app(app),
      m_nMaxOpenConnections(OpenConnectionBound()),
      m_retrieval(new AddressBookRetrieval(app, this)),
      m_recentLists(std::make_shared<RecentListWriter>()),
      m_notifier(new DesktopNotifier(QString::fromLatin1(IApplication::kAppTitle),
                                     QStringLiteral("org.vexor.Quillpad"),  // the installed icon
                                     QDBusConnection::sessionBus(), this)) {
    connect(m_notifier, &DesktopNotifier::defaultActionInvoked, this,
            &MessageServices::OnNotificationClicked);
}

MessageServices::~MessageServices() {
    if (m_notice) {
        m_notice->disconnect(this);
        delete m_notice.data();
    }
}

bool MessageServices::StartListening(CQuillpadView& view, QString* error) {
    const Settings& settings = m_app.GetSettings();
    // Both sockets live as long as the hub view that owns them.
    auto* server = new CListeningSocket(&view);
    if (!server->StartListening(settings.m_nPort, error)) {
        delete server;
        return false;
    }
    connect(server, &CListeningSocket::newConnection, &view,
            [this, &view, server] { ProcessPendingAccept(view, *server); });
    auto* receiver = new CLoginSocket(settings, &view);
    receiver->Create(
        static_cast<quint16>(settings.m_nBroadcastPort <= 65535 ? settings.m_nBroadcastPort : 0));
    QString ignored;
    SendLogonAnnouncement(view, &ignored);
    return true;
}

bool MessageServices::SendLogonAnnouncement(CQuillpadView&, QString* error) {
    const Settings& settings = m_app.GetSettings();
    const LogonRecord record{settings.m_strFullName, m_app.GetComputerName(),
                             static_cast<qint32>(settings.m_nPort)};
    return ::SendLogonAnnouncement(record, error);
}

void MessageServices::SendMessage(CQuillpadView& view) {
    auto* window = new CMessageWindow(*this, &view, false);
    m_lastCompose = window;
    window->showNormal();
    window->raise();
    window->activateWindow();
}

void MessageServices::ProcessPendingAccept(CQuillpadView& view, CListeningSocket& server) {
    m_reading.removeIf(
        [](const QPointer<CNoteSocket>& socket) { return !socket || socket->HasEnded(); });
    // Connections beyond those open at a time wait in the listening socket's queues and are
    // taken as open ones end.
    while (m_reading.size() < m_nMaxOpenConnections) {
        QTcpSocket* connection = server.NextPendingConnection();
        if (!connection)
            break;
        // The connection is read before a window is made for it: a check is answered
        // without one, and a note gets its window with its first record.
        auto* socket = new CNoteSocket(this);
        socket->Attach(connection);
        socket->OpenStreams();
        m_reading.append(socket);
        QPointer<CQuillpadView> logView(&view);
        QPointer<CListeningSocket> listening(&server);
        connect(socket, &CNoteSocket::recordReceived, this,
                [this, logView, socket](const CMsg& msg) { OnFirstRecord(logView, socket, msg); });
        connect(socket, &CNoteSocket::readError, this, [this, logView] {
            CQuillpadView* log = logView ? logView.data() : CurrentLogView();
            if (log)
                log->AppendLine(QStringLiteral("Error reading socket"));
        });
        connect(socket, &CNoteSocket::closed, this, [this, logView, listening] {
            if (logView && listening)
                QTimer::singleShot(0, listening, [this, logView, listening] {
                    if (logView && listening)
                        ProcessPendingAccept(*logView, *listening);
                });
        });
        connect(socket, &CNoteSocket::closed, socket, &QObject::deleteLater);
        Q_EMIT connectionAccepted();
    }
}

void MessageServices::OnFirstRecord(QPointer<CQuillpadView> view, CNoteSocket* socket,
                                    const CMsg& msg) {
    disconnect(socket, &CNoteSocket::recordReceived, this, nullptr);
    disconnect(socket, &CNoteSocket::readError, this, nullptr);
    if (msg.m_dwCode == MSG_CHECK) {
        // The answer, and the connection ends: nothing is logged, shown or counted.
        socket->SendMsg(CheckAnswer(msg, m_app.GetSettings().m_strFullName));
        socket->Close();
        return;
    }
    disconnect(socket, &CNoteSocket::closed, socket, &QObject::deleteLater);
    if (m_toHandle.isEmpty() && TurnLeft()) {
        HandleNote(view, socket, msg);
        return;
    }
    // A note waits its turn, its further records unread, while connections go on being read.
    socket->Hold();
    m_toHandle.enqueue({view, socket, msg});
    PostNextTurn();
}

void MessageServices::PostNextTurn() {
    // A posted call, not a timer: posted calls run once in each pass of the event loop, beside
    // the connections that are ready, whereas the event loop runs timers only when nothing
    // else is ready once a timer has fired, and a flood keeps connections ready.
    if (m_bHandlingPosted)
        return;
    m_bHandlingPosted = true;
    QTimer::singleShot(0, this, &MessageServices::HandleWaitingNotes);
}

bool MessageServices::TurnLeft() {
    // A turn lasts until the program next goes back to its event loop, kHandlingTurnMs at most.
    if (!m_bInTurn) {
        m_bInTurn = true;
        m_turn.start();
        QTimer::singleShot(0, this, [this] { m_bInTurn = false; });
    }
    return m_turn.elapsed() < kHandlingTurnMs;
}

void MessageServices::HandleWaitingNotes() {
    m_bHandlingPosted = false;
    QElapsedTimer turn;
    turn.start();
    while (!m_toHandle.isEmpty() && turn.elapsed() < kHandlingTurnMs) {
        const WaitingNote note = m_toHandle.dequeue();
        if (note.m_socket)
            HandleNote(note.m_view, note.m_socket, note.m_first);
    }
    if (!m_toHandle.isEmpty())
        PostNextTurn();
}

void MessageServices::HandleNote(QPointer<CQuillpadView> view, CNoteSocket* socket,
                                 const CMsg& msg) {
    const QPointer<CNoteSocket> held(socket);
    m_noteWindows.removeIf([](const QPointer<CMessageWindow>& window) { return !window; });
    if (OpenNoteWindowCount() >= kMaxNoteWindows) {
        ReceiveWithoutWindow(view, socket, msg);
    } else {
        auto* window = new CMessageWindow(*this, view ? view.data() : CurrentLogView(), true);
        m_noteWindows.append(window);
        window->Adopt(socket);
        window->OnRecord(msg);
        Q_EMIT incomingWindowCreated(window);
    }
    // The records that came meanwhile, and the connection's end, now reach the note's handler.
    if (held)
        held->Resume();
}

int MessageServices::OpenNoteWindowCount() const {
    // A closed window counts no more, though its deletion may still be on its way.
    return static_cast<int>(std::count_if(
        m_noteWindows.begin(), m_noteWindows.end(),
        [](const QPointer<CMessageWindow>& window) { return window && !window->IsClosed(); }));
}

NoteNotice* MessageServices::Notice() const {
    return m_notice;
}

void MessageServices::ReceiveWithoutWindow(QPointer<CQuillpadView> view, CNoteSocket* socket,
                                           const CMsg& msg) {
    WindowlessNote::Sinks sinks;
    sinks.m_log = [this, view](const QString& line) {
        if (CQuillpadView* log = view ? view.data() : CurrentLogView())
            log->AppendLine(line);
    };
    sinks.m_pushLastSender = [this](const AddressEntry& sender) {
        m_recentLists->Push(m_app.GetSettings().m_strDataDirectory, QLatin1String(kLastSendersFile),
                            QString::fromLatin1(kLastSendersDescription), {sender});
    };
    sinks.m_strFullName = m_app.GetSettings().m_strFullName;
    auto* note = new WindowlessNote(socket, std::move(sinks), {}, this);
    // Where the note's lines begin: the end of the log just before its first line.
    struct Start {
        QPointer<CQuillpadView> m_view;
        QTextCursor m_cursor;
    };
    auto start = std::make_shared<Start>();
    connect(note, &WindowlessNote::logStarting, this, [this, view, start] {
        start->m_view = view ? view.data() : CurrentLogView();
        if (start->m_view) {
            start->m_cursor = QTextCursor(start->m_view->document());
            start->m_cursor.movePosition(QTextCursor::End);
            // Stays before the note's lines as they are appended at this very place.
            start->m_cursor.setKeepPositionOnInsert(true);
        }
    });
    connect(note, &WindowlessNote::noteWhole, this,
            [this, start] { OnWindowlessNoteWhole(start->m_view, start->m_cursor); });
    note->OnRecord(msg);
}

void MessageServices::OnWindowlessNoteWhole(CQuillpadView* view, const QTextCursor& start) {
    ++m_app.m_nUnansweredNoteCount;
    if (!m_notice) {
        m_notice = new NoteNotice(kMaxNoteWindows, m_app.GetSettings().m_bAlwaysOnTop != 0);
        connect(m_notice, &NoteNotice::noticeClosed, this,
                [this](int count) { m_app.m_nUnansweredNoteCount -= count; });
        connect(m_notice, &NoteNotice::showInLogRequested, this, &MessageServices::ShowInLog);
        m_notice->AddNote(view, start);
        m_notice->showNormal();
        m_notice->raise();
    } else {
        m_notice->AddNote(view, start);
    }
    Q_EMIT newMessage();
    Q_EMIT windowlessNoteArrived();
}

void MessageServices::ShowInLog(CQuillpadView* view, const QTextCursor& start) {
    if (!m_workspace)
        return;
    if (!view || start.isNull()) {
        // The note's log has gone: the current log, at its end.
        view = CurrentLogView();
        if (!view)
            return;
        QTextCursor end(view->document());
        end.movePosition(QTextCursor::End);
        m_workspace->ShowInLog(*view, end);
        return;
    }
    // The note's banner line, selected; other notes' lines may have come in between.
    // (Only the start's position counts: its anchor has moved on with the appended lines.)
    QTextCursor banner =
        view->document()->find(QString::fromLatin1(NoteBlocks::kIncomingBanner), start.position());
    if (banner.isNull()) {
        banner = QTextCursor(view->document());
        banner.setPosition(start.position());
    }
    m_workspace->ShowInLog(*view, banner);
}

void MessageServices::Attach(CMainFrame* frame, LogWorkspace* workspace) {
    m_workspace = workspace;
    m_retrieval->Attach(frame, workspace);
}

CQuillpadView* MessageServices::CurrentLogView() {
    if (!m_workspace)
        return nullptr;
    return m_workspace->HubView() ? m_workspace->HubView() : m_workspace->ActiveView();
}

void MessageServices::NotifyNewMessage(CMessageWindow& window) {
    Q_EMIT newMessage();
    const QString sender =
        window.SenderName().trimmed().isEmpty() ? window.SenderAddress() : window.SenderName();
    const quint32 id = m_notifier->Notify(
        tr("Note from %1").arg(NoteBlocks::SummaryLine(sender, kNotifiedNameLimit)),
        window.BodyLine());
    if (id == 0)
        return;
    m_notified.insert(id, &window);
    // A notification of a window that has gone leads nowhere.
    connect(&window, &QObject::destroyed, this, [this, id] {
        m_notified.remove(id);
        m_notifier->Close(id);
    });
}

void MessageServices::OnNotificationClicked(quint32 id) {
    if (CMessageWindow* window = m_notified.value(id))
        window->BringForward();
}

bool MessageServices::CanGetAddressBooks() const {
    return !m_app.GetSettings().m_strFtpServer.isEmpty() && !m_retrieval->IsGetRunning();
}

void MessageServices::GetAddressBooks(QWidget* parent, std::function<void()> done) {
    if (!m_retrieval->GetAddressBooks(parent))
        return;  // declined, or a run is already going on
    if (done) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection =
            connect(m_retrieval, &AddressBookRetrieval::getFinished, this, [connection, done](int) {
                QObject::disconnect(*connection);
                done();
            });
    }
}

void MessageServices::UpdateAddressBooks(CQuillpadView& view) {
    m_retrieval->UpdateAddressBooks(&view);
}

CMessageWindow* MessageServices::LastComposeWindow() const {
    return m_lastCompose;
}
