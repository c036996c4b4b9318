#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>

#include "platform/PeriodicTimer.h"
#include "shell/Commands.h"

class IApplication;
class CTrayIcon;
class NoteReminder;
class QLabel;
class QMdiArea;
class QMenu;
class QTimer;
class QToolBar;

// The program's main window: the log documents in an MDI area, menus that follow whether a log
// is open, a toolbar, a status bar with the port, date and time, and (where the desktop has a
// notification area) an icon there behind which the window normally lives hidden.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kPlacementName = "Main Window";
    static constexpr int kClockTickMs = 10000;

    // reminderTimer drives the unanswered-note reminder; by default a real timer.
    explicit CMainFrame(IApplication& app, std::unique_ptr<PeriodicTimer> reminderTimer = nullptr,
                        QWidget* parent = nullptr);
    ~CMainFrame() override;

    CommandTable& Commands() { return m_commands; }
    // The action of a command id (menus, toolbar, tray menu), or null.
    QAction* Action(int id) const;
    QMdiArea* MdiArea() const { return m_mdiArea; }
    CTrayIcon* TrayIcon() const { return m_trayIcon; }
    bool IsExiting() const { return m_bExit; }
    bool ShowsDocumentMenu() const { return m_bDocumentMenu; }

    // Asked before the user's own Exit (File Exit, tray Exit, the window's Close); false keeps
    // the program running. The end of the desktop session and signals do not ask.
    using ExitGuard = std::function<bool()>;
    void SetExitGuard(ExitGuard guard) { m_exitGuard = std::move(guard); }
    // The user's Exit: asks the guard, then exits.
    void RequestExit();
    // Every way out ends here, asking nothing.
    void Exit();
    // Shows the window in its normal state, in front.
    void Restore();
    // How the window starts: hidden behind its tray icon, or minimised without taking the
    // focus where there is no icon (no tray mode, or the desktop would not show it).
    void ShowAtStart();
    // The window is reached through its tray icon, so it may hide.
    bool LivesInTray() const;
    // Puts the window into the top-most band or out of it, as the settings say.
    void ApplyAlwaysOnTop();
    // A received note has been shown: restart the reminder and play the Message sound.
    void NotifyNewMessage();

    void UpdateStatusPanes(const QDateTime& now = QDateTime::currentDateTime());
    // Whether a log view listens for notes: the first status pane says so while none does,
    // and how to listen again.
    void SetListening(bool listening);
    // What the first status pane shows while no prompt or progress is shown there.
    QString IdleMessage() const;
    // Enables every action as its command's rules say, and switches the menu bar between the
    // one without and the one with a log document.
    void UpdateCommandUi();
    void ShowAboutBox();
    // The recent-file entries of the File menu, newest first.
    void SetRecentFiles(const QStringList& paths);

Q_SIGNALS:
    // The window has closed for good: the program's message loop may end.
    void frameClosed();
    void recentFileChosen(int index);
    // Files dropped on the window, as local paths.
    void filesDropped(const QStringList& paths);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    QMenu* BuildMenu(const MenuDefinition& definition);
    void BuildMenuBars();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateTrayIcon();
    void WireCommands();
    void PlaceAtStart();
    void UpdateLockPanes();
    void FillWindowList(QMenu* menu);
    void ArrangeIcons();
    void ShowHelp();

    IApplication& m_app;
    CommandTable m_commands;
    std::map<int, QAction*> m_actions;
    QList<QMenu*> m_menus[2];  // without and with a log document
    QList<QAction*> m_recentActions;
    QMdiArea* m_mdiArea = nullptr;
    QToolBar* m_toolBar = nullptr;
    CTrayIcon* m_trayIcon = nullptr;
    QLabel* m_messagePane = nullptr;
    QLabel* m_lockPanes[3] = {};
    QLabel* m_portPane = nullptr;
    QLabel* m_datePane = nullptr;
    QLabel* m_timePane = nullptr;
    QTimer* m_clockTick = nullptr;
    std::unique_ptr<PeriodicTimer> m_reminderTimer;
    std::unique_ptr<NoteReminder> m_reminder;
    ExitGuard m_exitGuard;
    bool m_bExit = false;
    bool m_bDestroying = false;
    bool m_bDocumentMenu = false;
};
