#pragma once

// One copy of the program inside the test process: settings from a store written by the test,
// the main window, the network side and the log, opened as start-up opens them, with every
// timer a manual one.
#include <QCoreApplication>
#include <memory>

#include "ManualTimer.h"
#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "app/CQuillpadApp.h"
#include "message/MessageServices.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadView.h"
#include "shell/LogWorkspace.h"

// A store for a copy named fullName that listens on port and does not announce itself;
// further sections may follow.
inline QByteArray CopyStore(const QByteArray& fullName, quint16 port, quint32 socketTimeout,
                            const QByteArray& more = QByteArray()) {
    const QByteArray key = "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\";
    return "REGEDIT4\n\n" + key + "Profiles]\n\"Full Name\"=\"" + fullName + "\"\n\n" + key +
           "Communication]\n\"Port\"=" + StoreDword(port) +
           "\n\"Socket Timeout\"=" + StoreDword(socketTimeout) +
           "\n\"Broadcast\"=" + StoreDword(0) + "\n" + more;
}

struct ProgramCopy {
    RecordingSoundPlayer sounds{false};
    std::unique_ptr<CQuillpadApp> app;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<MessageServices> services;
    std::unique_ptr<LogWorkspace> workspace;

    ProgramCopy(const QString& storePath, const QByteArray& store) {
        WriteWholeFile(storePath, store);
        app = std::make_unique<CQuillpadApp>(storePath, sounds, false);
        app->LoadSettings();
        frame = std::make_unique<CMainFrame>(*app, std::make_unique<ManualTimer>());
        services = std::make_unique<MessageServices>(*app);
        QObject::connect(services.get(), &MessageServices::newMessage, frame.get(),
                         &CMainFrame::NotifyNewMessage);
        workspace = std::make_unique<LogWorkspace>(*app, *frame, *services,
                                                   [] { return std::make_unique<ManualTimer>(); });
        services->Attach(frame.get(), workspace.get());
        workspace->OpenAtStart({QStringLiteral("quillpad")});
    }
    ~ProgramCopy() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        frame.reset();
        workspace.reset();
        services.reset();
        app.reset();
    }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    QString Data() const { return app->GetSettings().m_strDataDirectory; }
    CQuillpadView* Hub() const { return workspace->HubView(); }
    QString Log() const { return Hub()->document()->toPlainText(); }
};
