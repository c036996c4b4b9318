#pragma once

// The receiving copy of the message benchmarks, in the benchmark's process, and a way to run
// senders beside it while this thread serves it.
#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "BenchSupport.h"
#include "app/CQuillpadApp.h"
#include "message/CMessageWindow.h"
#include "message/MessageServices.h"
#include "message/NoteNotice.h"
#include "shell/CMainFrame.h"
#include "shell/LogWorkspace.h"

namespace {

constexpr int kTimeoutMs = 30000;

// The receiving copy, in this process: its hub listens on a free port.
struct Receiver {
    QTemporaryDir dir;
    SilentSoundPlayer player;
    std::unique_ptr<CQuillpadApp> app;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<MessageServices> services;
    std::unique_ptr<LogWorkspace> workspace;
    quint16 port = 0;
    int shown = 0;

    Receiver() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        probe.close();
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
        QFile store(dir.filePath(QStringLiteral("registry.reg")));
        store.open(QIODevice::WriteOnly);
        store.write(
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]\n\"Full "
            "Name\"=\"Bench\"\n\n"
            "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Communication]\n\"Port\"=dword:" +
            QByteArray::number(port, 16).rightJustified(8, '0') +
            "\n\"Broadcast\"=dword:00000000\n");
        store.close();
        app = std::make_unique<CQuillpadApp>(store.fileName(), player, false);
        app->LoadSettings();
        frame = std::make_unique<CMainFrame>(*app);
        services = std::make_unique<MessageServices>(*app);
        workspace = std::make_unique<LogWorkspace>(*app, *frame, *services);
        services->Attach(frame.get(), workspace.get());
        workspace->OpenAtStart({QStringLiteral("quillpad")});
        QObject::connect(services.get(), &MessageServices::newMessage, frame.get(),
                         [this] { ++shown; });
    }
    ~Receiver() {
        CloseWindows();
        frame.reset();
        workspace.reset();
    }
    // Closes every note window and the notice, as their user would.
    void CloseWindows() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<CMessageWindow*>(widget) || qobject_cast<NoteNotice*>(widget))
                widget->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

// Runs work on a thread of its own while this thread serves the receiving copy.
inline bool RunBeside(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    const QDeadlineTimer deadline(kTimeoutMs * 4);
    while (!done && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    return !deadline.hasExpired();
}

}  // namespace
