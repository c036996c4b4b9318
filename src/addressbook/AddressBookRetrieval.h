#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <memory>

class CQuillpadApp;
class CQuillpadView;
class QWidget;

// Runs retrievals of address books from the site's FTP server off the user-interface thread:
// the Get command (confirmed by the user, with the wait cursor, progress in the status bar and
// message boxes) and the periodic update (at idle priority, reporting into the log). Windows
// keep painting while a run goes on.
class AddressBookRetrieval : public QObject {
    Q_OBJECT
public:
    AddressBookRetrieval(CQuillpadApp& app, QObject* parent = nullptr);
    ~AddressBookRetrieval() override;

    // The Get command: asks the user to confirm, then starts the run and returns at once;
    // getFinished() follows when the run has ended. False when nothing was started (the user
    // cancelled, or a run is already going on).
    bool GetAddressBooks(QWidget* parent);
    bool IsGetRunning() const { return m_getRunning; }
    // One periodic update, reporting into the log that logView (or, once it is gone, the
    // program's current log) shows.
    void UpdateAddressBooks(CQuillpadView* logView);

Q_SIGNALS:
    // A Get command has ended, with the number of books received.
    void getFinished(int count);
    // A periodic update has ended.
    void updateFinished(int count);

private:
    void Start(std::function<void()> work, QThread::Priority priority);

    CQuillpadApp& m_app;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    QList<QThread*> m_threads;
    bool m_getRunning = false;
};
