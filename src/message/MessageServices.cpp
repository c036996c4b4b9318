#include "message/MessageServices.h"

#include <QTcpSocket>

#include "addressbook/CLoginSocket.h"
#include "addressbook/LogonRecord.h"
#include "app/CQuillpadApp.h"
#include "message/CMessageWindow.h"
#include "net/CListeningSocket.h"
#include "shell/CQuillpadView.h"
#include "shell/LogWorkspace.h"

MessageServices::MessageServices(CQuillpadApp& app, QObject* parent)
    : QObject(parent), m_app(app) {}

bool MessageServices::StartListening(CQuillpadView& view, QString* error) {
    const Settings& settings = m_app.GetSettings();
    // Both sockets live as long as the hub view that owns them.
    auto* server = new CListeningSocket(&view);
    if (!server->StartListening(settings.m_nPort, error)) {
        delete server;
        return false;
    }
    connect(server, &QTcpServer::newConnection, &view,
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
        [](const QPointer<CMessageWindow>& window) { return !window || !window->IsReading(); });
    while (QTcpSocket* connection = server.nextPendingConnection()) {
        if (m_reading.size() >= kMaxReadingConnections) {
            connection->abort();
            connection->deleteLater();
            continue;
        }
        auto* window = new CMessageWindow(*this, &view, true);
        window->Accept(connection);
        m_reading.append(window);
        Q_EMIT incomingWindowCreated(window);
    }
}

CQuillpadView* MessageServices::CurrentLogView() {
    LogWorkspace* workspace = m_app.Workspace();
    if (!workspace)
        return nullptr;
    return workspace->HubView() ? workspace->HubView() : workspace->ActiveView();
}

void MessageServices::NotifyNewMessage() {
    Q_EMIT newMessage();
}

void MessageServices::GetAddressBooks(QWidget* parent) {
    Q_UNUSED(parent);  // the retrieval from the FTP server takes its place here
}

CMessageWindow* MessageServices::LastComposeWindow() const {
    return m_lastCompose;
}
