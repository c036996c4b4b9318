#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <memory>

#include "addressbook/Retrieval.h"

class CMainFrame;
class IApplication;
class LogWorkspace;
class CQuillpadView;
class CRetrievalWaitDlg;
class QWidget;

// Runs retrievals of address books from the site's FTP server off the user-interface thread:
// the Get command (confirmed by the user, with the wait cursor, a wait dialog with Cancel,
// progress in the status bar and message boxes) and the periodic update (at idle priority,
// reporting into the log). Windows keep painting while a run goes on.
class AddressBookRetrieval : public QObject {
    Q_OBJECT
public:
    // How long the Get command runs before its wait dialog shows: a quick run shows none.
    static constexpr int kWaitDialogDelayMs = 500;

    AddressBookRetrieval(IApplication& app, QObject* parent = nullptr);
    // The main window whose status bar shows a Get's progress, and the log documents whose
    // current log takes a periodic update's report once the view it was for has gone.
    void Attach(CMainFrame* frame, LogWorkspace* workspace);
    // Cancels the runs going on and waits for each to end.
    ~AddressBookRetrieval() override;

    // The Get command: asks the user to confirm, then starts the run and returns at once;
    // getFinished() follows when the run has ended. False when nothing was started (the user
    // cancelled, or a run is already going on).
    bool GetAddressBooks(QWidget* parent);
    bool IsGetRunning() const { return m_getRunning; }
    // The wait dialog's Cancel: the Get command's run stops at its next wait, and reports
    // nothing but what it has received.
    void CancelGet();
    // One periodic update, reporting into the log that logView (or, once it is gone, the
    // program's current log) shows.
    void UpdateAddressBooks(CQuillpadView* logView);

    // The time limits of runs started from now on; tests shorten them.
    void SetLimits(const Retrieval::Limits& limits) { m_limits = limits; }

Q_SIGNALS:
    // A Get command has ended, with the number of books received.
    void getFinished(int count);
    // A periodic update has ended.
    void updateFinished(int count);

private:
    void Start(std::function<void()> work, QThread::Priority priority);
    void FinishGet(QPointer<QWidget> owner, int count);

    IApplication& m_app;
    QPointer<CMainFrame> m_frame;
    QPointer<LogWorkspace> m_workspace;
    // Set once the program is ending: every run stops, and nothing it reports is shown.
    std::shared_ptr<std::atomic<bool>> m_ending;
    // Set by the Get command's Cancel; a new one for each Get.
    std::shared_ptr<std::atomic<bool>> m_getCancelled;
    QList<QThread*> m_threads;
    bool m_getRunning = false;
    QPointer<CRetrievalWaitDlg> m_waitDialog;
    Retrieval::Limits m_limits;
};
