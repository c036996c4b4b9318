#include <QtTest>
#include <QtWidgets>
#include <clocale>

#include "ManualTimer.h"
#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "app/CQuillpadApp.h"
#include "app/CRegistry.h"
#include "shell/CAboutDialog.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/CTrayIcon.h"
#include "shell/WindowPlacementStore.h"

namespace {

QStringList MenuTitles(QMenuBar* bar) {
    QStringList titles;
    for (QAction* action : bar->actions())
        titles.append(action->text());
    return titles;
}

QStringList ActionNames(const QList<QAction*>& actions) {
    QStringList names;
    for (QAction* action : actions)
        names.append(action->isSeparator() ? QStringLiteral("-") : action->objectName());
    return names;
}

}  // namespace

class TestMainFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void menusFollowTheOpenDocuments();
    void toolbarAndStatusBar();
    void everyExitSavesThePlacement_data();
    void everyExitSavesThePlacement();
    void savedRectangleIsUsedOnlyWhenOnScreen_data();
    void savedRectangleIsUsedOnlyWhenOnScreen();
    void placementRestoreRules();
    void trayMenuAndClicks();
    void windowStaysReachableWithoutItsTrayIcon();
    void alwaysOnTopFollowsTheSetting();
    void arrivingNotesPlayAndRemind();
    void aboutBox();

private:
    std::unique_ptr<CMainFrame> MakeFrame(CQuillpadApp& app, ManualTimer** timer = nullptr);
    WindowPlacement StoredPlacement(const QString& name);

    RecordingSoundPlayer m_sounds;
    std::unique_ptr<CQuillpadApp> m_app;
    std::unique_ptr<CQuillpadApp> m_trayApp;
};

void TestMainFrame::initTestCase() {
    std::setlocale(LC_TIME, "C");
    WriteWholeFile(CurrentTestHome().StorePath(),
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]"
                   "\n\"Full Name\"=\"Ann\"\n");
    m_app = std::make_unique<CQuillpadApp>(CurrentTestHome().StorePath(), m_sounds, false);
    m_app->LoadSettings();
    m_trayApp = std::make_unique<CQuillpadApp>(CurrentTestHome().StorePath(), m_sounds, true);
    m_trayApp->LoadSettings();
}

void TestMainFrame::init() {
    m_sounds.Clear();
}

void TestMainFrame::cleanup() {
    m_app->m_nUnansweredNoteCount = 0;
}

std::unique_ptr<CMainFrame> TestMainFrame::MakeFrame(CQuillpadApp& app, ManualTimer** timer) {
    auto manual = std::make_unique<ManualTimer>();
    if (timer)
        *timer = manual.get();
    return std::make_unique<CMainFrame>(app, std::move(manual));
}

WindowPlacement TestMainFrame::StoredPlacement(const QString& name) {
    CRegistry reg(m_app->Store());
    QByteArray data(44, '\0');
    quint32 size = 44;
    WindowPlacement placement;
    if (reg.OpenAndReadBinary(CRegistry::HKEY_CURRENT_USER,
                              QString::fromLatin1(WindowPlacementStore::kKeyPath), name,
                              data.data(), size))
        WindowPlacement::FromBytes(data.left(size), placement);
    return placement;
}

void TestMainFrame::menusFollowTheOpenDocuments() {
    auto frame = MakeFrame(*m_app);
    QCOMPARE(frame->windowTitle(), QStringLiteral("Quillpad"));
    QCOMPARE(MenuTitles(frame->menuBar()),
             (QStringList{QStringLiteral("&File"), QStringLiteral("&Address"),
                          QStringLiteral("&View"), QStringLiteral("&Help")}));
    // Without a notification area, Send Message is offered in the File menu.
    QMenu* file = frame->menuBar()->actions().first()->menu();
    QCOMPARE(ActionNames(file->actions()),
             (QStringList{QStringLiteral("fileNew"), QStringLiteral("fileOpen"),
                          QStringLiteral("-"), QStringLiteral("filePrintSetup"),
                          QStringLiteral("-"), QStringLiteral("recentFile"), QStringLiteral("-"),
                          QStringLiteral("traySendMessage"), QStringLiteral("-"),
                          QStringLiteral("appExit")}));
    QCOMPARE(frame->Action(Cmd::AppExit)->statusTip(),
             QStringLiteral("Quit the application; prompts to save documents"));
    // Commands that nothing handles yet are shown disabled.
    QVERIFY(!frame->Action(Cmd::Preferences)->isEnabled());
    QVERIFY(frame->Action(Cmd::AppAbout)->isEnabled());
    QVERIFY(!frame->Action(Cmd::WindowCascade)->isEnabled());

    auto* child = new CChildFrame;
    child->setWidget(new QWidget);
    frame->MdiArea()->addSubWindow(child);
    child->show();
    frame->UpdateCommandUi();
    QVERIFY(frame->ShowsDocumentMenu());
    QCOMPARE(MenuTitles(frame->menuBar()).size(), 7);
    QVERIFY(frame->Action(Cmd::WindowCascade)->isEnabled());

    child->close();
    QVERIFY(WaitFor([&] { return frame->MdiArea()->subWindowList().isEmpty(); }, 2000));
    frame->UpdateCommandUi();
    QVERIFY(!frame->ShowsDocumentMenu());
    QCOMPARE(MenuTitles(frame->menuBar()).size(), 4);
}

void TestMainFrame::toolbarAndStatusBar() {
    auto frame = MakeFrame(*m_app);
    auto* toolBar = frame->findChild<QToolBar*>(QStringLiteral("toolBar"));
    QVERIFY(toolBar);
    QCOMPARE(ActionNames(toolBar->actions()),
             (QStringList{
                 QStringLiteral("sendMessage"), QStringLiteral("preferences"), QStringLiteral("-"),
                 QStringLiteral("fileNew"), QStringLiteral("fileOpen"), QStringLiteral("fileSave"),
                 QStringLiteral("-"), QStringLiteral("editCut"), QStringLiteral("editCopy"),
                 QStringLiteral("editPaste"), QStringLiteral("-"), QStringLiteral("filePrint"),
                 QStringLiteral("appAbout"), QStringLiteral("contextHelp")}));
    for (QAction* action : toolBar->actions()) {
        if (!action->isSeparator())
            QVERIFY2(!action->icon().isNull(), qPrintable(action->objectName()));
    }
    QVERIFY(frame->findChild<QWidget*>(QStringLiteral("appAboutButton")));

    frame->UpdateStatusPanes(QDateTime(QDate(2026, 12, 7), QTime(21, 5)));
    const QStringList panes = {QStringLiteral("capsLockPane"),   QStringLiteral("numLockPane"),
                               QStringLiteral("scrollLockPane"), QStringLiteral("portPane"),
                               QStringLiteral("datePane"),       QStringLiteral("timePane")};
    frame->show();
    int lastX = -1;
    for (const QString& name : panes.mid(3)) {
        auto* pane = frame->findChild<QLabel*>(name);
        QVERIFY(pane);
        QVERIFY2(pane->x() > lastX, qPrintable(name));  // in order from left to right
        lastX = pane->x();
        QVERIFY(pane->width() >= pane->fontMetrics().horizontalAdvance(pane->text()));
    }
    QCOMPARE(frame->findChild<QLabel*>(QStringLiteral("portPane"))->text(),
             QStringLiteral("Port 6001"));
    QCOMPARE(frame->findChild<QLabel*>(QStringLiteral("datePane"))->text(),
             QStringLiteral("12/07/26"));
    QCOMPARE(frame->findChild<QLabel*>(QStringLiteral("timePane"))->text(),
             QStringLiteral("09:05  PM "));
    frame->Action(Cmd::ViewToolbar)->trigger();
    QVERIFY(toolBar->isHidden());
}

void TestMainFrame::everyExitSavesThePlacement_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("trayMode");
    QTest::newRow("File Exit") << int(Cmd::AppExit) << false;
    QTest::newRow("tray Exit") << int(Cmd::TrayExit) << true;
    QTest::newRow("close button") << 0 << false;
}

void TestMainFrame::everyExitSavesThePlacement() {
    QFETCH(int, command);
    QFETCH(bool, trayMode);
    auto frame = MakeFrame(trayMode ? *m_trayApp : *m_app);
    frame->setGeometry(QRect(50 + command % 7, 60, 500, 400));
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    QSignalSpy closed(frame.get(), &CMainFrame::frameClosed);
    // The user's own Exit asks first (there are notes being written, say); No keeps it open.
    int asked = 0;
    bool mayExit = false;
    frame->SetExitGuard([&] {
        ++asked;
        return mayExit;
    });
    const auto exit = [&] {
        if (command)
            QVERIFY(frame->Commands().Execute(command));
        else
            frame->windowHandle()->close();  // what the window manager's close button does
    };
    exit();
    QCOMPARE(asked, 1);
    QCOMPARE(closed.count(), 0);
    QVERIFY(frame->isVisible());
    mayExit = true;
    exit();
    QCOMPARE(asked, 2);
    QCOMPARE(closed.count(), 1);
    QVERIFY(frame->IsExiting() || !command);  // a close from outside is no Exit command
    const WindowPlacement placement = StoredPlacement(QStringLiteral("Main Window"));
    QCOMPARE(placement.NormalRect(), QRect(50 + command % 7, 60, 500, 400));
    QCOMPARE(placement.m_nShowCmd, WindowPlacement::Normal);
}

void TestMainFrame::savedRectangleIsUsedOnlyWhenOnScreen_data() {
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<bool>("used");
    const QRect screen = WindowPlacementStore::ScreenRects().first();
    QTest::newRow("on the screen") << QRect(20, 30, 400, 300) << true;
    QTest::newRow("partly off") << QRect(screen.right() - 100, 30, 400, 300) << false;
    QTest::newRow("wholly off") << QRect(screen.right() + 100, 30, 400, 300) << false;
}

void TestMainFrame::savedRectangleIsUsedOnlyWhenOnScreen() {
    QFETCH(QRect, saved);
    QFETCH(bool, used);
    QWidget source;
    source.setGeometry(saved);
    WindowPlacementStore placements(m_app->Store());
    QVERIFY(placements.Save(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                            QStringLiteral("Main Window"), source));
    auto frame = MakeFrame(*m_app);
    QCOMPARE(frame->geometry() == saved, used);
}

void TestMainFrame::placementRestoreRules() {
    const QString key = QString::fromLatin1(WindowPlacementStore::kKeyPath);
    WindowPlacementStore placements(m_app->Store());
    QWidget window;
    QVERIFY(!placements.Restore(key, QStringLiteral("Nothing Here"), window, false));
    QVERIFY(placements.ErrorText().endsWith(
        QStringLiteral(":Software\\Vexor\\Quillpad\\3.0\\Windows\\Nothing Here")));

    QWidget saved;
    saved.setGeometry(30, 40, 200, 100);
    saved.showMinimized();
    QVERIFY(placements.Save(key, QStringLiteral("View 1"), saved));
    QCOMPARE(StoredPlacement(QStringLiteral("View 1")).m_nShowCmd, WindowPlacement::Minimized);

    QVERIFY(placements.Restore(key, QStringLiteral("View 1"), window, false));
    QVERIFY(window.isMinimized());
    QWidget hidden;
    QVERIFY(placements.Restore(key, QStringLiteral("View 1"), hidden, true));
    QVERIFY(hidden.isHidden());
    QCOMPARE(hidden.geometry(), QRect(30, 40, 200, 100));

    // Only a placement wholly off the screen is ignored, and it leaves the window as it was.
    const QRect screen = WindowPlacementStore::ScreenRects().first();
    saved.showNormal();
    saved.setGeometry(screen.right() - 50, 40, 200, 100);
    QVERIFY(placements.Save(key, QStringLiteral("Message 1"), saved));
    QWidget partly;
    QVERIFY(placements.Restore(key, QStringLiteral("Message 1"), partly, false));
    saved.setGeometry(screen.right() + 50, 40, 200, 100);
    QVERIFY(placements.Save(key, QStringLiteral("Message 2"), saved));
    QWidget off;
    off.setGeometry(1, 2, 30, 40);
    QVERIFY(!placements.Restore(key, QStringLiteral("Message 2"), off, false));
    QCOMPARE(off.geometry(), QRect(1, 2, 30, 40));
    QVERIFY(off.isHidden());
}

void TestMainFrame::trayMenuAndClicks() {
    auto frame = MakeFrame(*m_trayApp);
    CTrayIcon* tray = frame->TrayIcon();
    QVERIFY(tray);
    QMenu* menu = tray->Menu();
    QCOMPARE(ActionNames(menu->actions()),
             (QStringList{QStringLiteral("traySendMessage"), QStringLiteral("-"),
                          QStringLiteral("trayRestore"), QStringLiteral("appAbout"),
                          QStringLiteral("-"), QStringLiteral("trayExit")}));
    QCOMPARE(menu->defaultAction(), frame->Action(Cmd::SendMessageTray));
    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("&Send Message"));
    QCOMPARE(menu->actions()[2]->text(), QStringLiteral("&Restore"));
    QCOMPARE(menu->actions()[3]->text(), QStringLiteral("&About Quillpad..."));
    QCOMPARE(menu->actions()[5]->text(), QStringLiteral("&Exit"));
    // In tray mode the File menu does not repeat Send Message.
    QVERIFY(!frame->menuBar()->actions().first()->menu()->actions().contains(
        frame->Action(Cmd::SendMessageTray)));

    // A double click asks for Send Message, which opens a note without showing the window.
    int notesOpened = 0;
    frame->Commands().SetHandler(Cmd::SendMessage, [&notesOpened] { ++notesOpened; });
    QVERIFY(tray->HandleActivation(QSystemTrayIcon::DoubleClick));
    QVERIFY(!tray->HandleActivation(QSystemTrayIcon::Trigger));
    QCOMPARE(notesOpened, 1);
    QVERIFY(frame->isHidden());

    // Restore brings the window back in its normal state.
    frame->show();
    frame->showMinimized();
    QVERIFY(frame->Commands().Execute(Cmd::TrayRestore));
    QVERIFY(frame->isVisible());
    QVERIFY(!frame->isMinimized());

    // A close that is not an exit hides the window before it goes.
    QSignalSpy closed(frame.get(), &CMainFrame::frameClosed);
    frame->close();
    QVERIFY(frame->isHidden());
    QCOMPARE(closed.count(), 1);
}

void TestMainFrame::windowStaysReachableWithoutItsTrayIcon() {
    // Tray mode, but the icon cannot be shown (this platform has no notification area): the
    // window starts minimised instead of hidden, and minimising does not hide it.
    auto frame = MakeFrame(*m_trayApp);
    QVERIFY(!frame->TrayIcon()->IsShown());
    frame->ShowAtStart();
    QVERIFY(frame->isVisible());
    QVERIFY(frame->isMinimized());
    frame->showNormal();
    frame->showMinimized();
    QTest::qWait(50);
    QVERIFY(frame->isVisible());

    // Without tray mode it is the same.
    auto plain = MakeFrame(*m_app);
    plain->ShowAtStart();
    QVERIFY(plain->isVisible() && plain->isMinimized());
}

void TestMainFrame::alwaysOnTopFollowsTheSetting() {
    Settings& settings = m_app->GetSettings();
    settings.m_bAlwaysOnTop = 1;
    auto frame = MakeFrame(*m_app);
    frame->show();
    QVERIFY(frame->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    settings.m_bAlwaysOnTop = 0;
    frame->ApplyAlwaysOnTop();
    QVERIFY(!frame->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!frame->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(frame->isVisible());
    settings.m_bAlwaysOnTop = 1;
}

void TestMainFrame::arrivingNotesPlayAndRemind() {
    ManualTimer* timer = nullptr;
    auto frame = MakeFrame(*m_app, &timer);
    QCOMPARE(timer->Starts(), QList<int>{5 * 60000});
    m_app->m_nUnansweredNoteCount = 1;
    frame->NotifyNewMessage();
    QCOMPARE(m_sounds.Calls(), QStringList{QStringLiteral("builtin 202")});
    timer->Advance(5 * 60000);
    QCOMPARE(m_sounds.Calls().size(), 2);
    m_app->m_nUnansweredNoteCount = 0;
    timer->Advance(20 * 60000);
    QCOMPARE(m_sounds.Calls().size(), 2);
}

void TestMainFrame::aboutBox() {
    CAboutDialog about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Quillpad"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("versionLabel"))->text(),
             QStringLiteral("Quillpad Version 3.6"));
    QVERIFY(!about.findChild<QLabel*>(QStringLiteral("iconLabel"))->pixmap().isNull());
    auto* ok = about.findChild<QPushButton*>(QStringLiteral("okButton"));
    QVERIFY(ok);
    about.show();
    ok->click();
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
}

QUILLPAD_TEST_GUI_MAIN(TestMainFrame)
#include "TestMainFrame.moc"
