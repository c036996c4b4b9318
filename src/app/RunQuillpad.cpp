#include "app/RunQuillpad.h"

#include <QApplication>

#include "app/CQuillpadApp.h"
#include "platform/OpenFiles.h"
#include "platform/QtSoundPlayer.h"
#include "platform/SignalWatcher.h"
#include "shell/PrintRun.h"

int RunQuillpad(int argc, char** argv) {
    if (PrintRun::IsRequested(argc, argv))
        return PrintRun::Main(argc, argv);
    SignalWatcher::InstallHandlers();
    // Room for a flood of incoming connections beside the files the program itself opens.
    OpenFiles::RaiseLimit(OpenFiles::kWantedByProgram);
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(CQuillpadApp::kAppTitle));
    QApplication::setOrganizationName(QStringLiteral("Vexor"));
    QApplication::setApplicationVersion(QStringLiteral("3.6"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Windows and notifications belong to the installed launcher.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vexor.Quillpad"));

    QtSoundPlayer soundPlayer;
    CQuillpadApp app(RegistryStore::DefaultFilePath(), soundPlayer);
    if (!app.InitInstance(QApplication::arguments())) {
        app.ExitInstance();
        return 1;
    }
    const int status = app.HasMainWindow() ? QApplication::exec() : 0;
    app.ExitInstance();
    return status;
}
