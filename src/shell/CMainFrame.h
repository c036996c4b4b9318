#pragma once

#include <QMainWindow>

class CQuillpadApp;
class QSystemTrayIcon;

// The program's main window. Where the desktop offers a notification area it lives hidden
// behind an icon there.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CQuillpadApp& app, QWidget* parent = nullptr);

    // Ends the program the orderly way: the window closes and the message loop ends.
    void Exit();
    void Restore();

    static QIcon ProgramIcon();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateTrayIcon();

    CQuillpadApp& m_app;
    QSystemTrayIcon* m_trayIcon = nullptr;
};
