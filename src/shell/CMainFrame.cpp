#include "shell/CMainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>

#include "app/CQuillpadApp.h"

CMainFrame::CMainFrame(CQuillpadApp& app, QWidget* parent) : QMainWindow(parent), m_app(app) {
    setObjectName(QStringLiteral("mainFrame"));
    setAccessibleName(objectName());
    setWindowIcon(ProgramIcon());
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    QAction* exit = file->addAction(tr("E&xit"), this, &CMainFrame::Exit);
    exit->setObjectName(QStringLiteral("exitAction"));
    resize(640, 480);
    if (m_app.IsTrayMode())
        CreateTrayIcon();
}

// The resources are compiled into a static library, whose initialiser the linker keeps only
// when something refers to it.
static void InitResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(quillpad);
        return true;
    }();
    Q_UNUSED(done);
}

QIcon CMainFrame::ProgramIcon() {
    InitResources();
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/quillpad-%1.png").arg(size), QSize(size, size));
    return icon;
}

void CMainFrame::CreateTrayIcon() {
    m_trayIcon = new QSystemTrayIcon(ProgramIcon(), this);
    m_trayIcon->setToolTip(QString::fromLatin1(CQuillpadApp::kAppTitle));
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("trayMenu"));
    menu->addAction(tr("&Restore"), this, &CMainFrame::Restore);
    menu->addSeparator();
    menu->addAction(tr("&Exit"), this, &CMainFrame::Exit);
    m_trayIcon->setContextMenu(menu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick)
                    Restore();
            });
    m_trayIcon->show();
}

void CMainFrame::Restore() {
    showNormal();
    raise();
    activateWindow();
}

void CMainFrame::Exit() {
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_trayIcon)
        m_trayIcon->hide();
    event->accept();
    QCoreApplication::quit();
}
