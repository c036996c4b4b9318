#include "addressbook/AddressBookRetrieval.h"

#include <QApplication>
#include <QStatusBar>
#include <QTimer>

#include "addressbook/CConfirmRetrievalDlg.h"
#include "addressbook/CRetrievalWaitDlg.h"
#include "app/Settings.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadView.h"
#include "shell/IApplication.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"

namespace {

constexpr int kJoinSliceMs = 10;

// Carries a run's reports to the user-interface thread, waiting for each, until the run's
// reports are no longer wanted (the user cancelled it, or the program is ending).
class ForwardingReport : public IRetrievalReport {
public:
    ForwardingReport(QObject* context, std::function<bool()> dropped,
                     std::function<void(QString)> show, std::function<void(QString)> log)
        : m_context(context),
          m_dropped(std::move(dropped)),
          m_show(std::move(show)),
          m_log(std::move(log)) {}

    void Show(const QString& text) override {
        OnUiThread([this, text] { m_show(text); });
    }
    void Log(const QString& line) override {
        OnUiThread([this, line] { m_log(line); });
    }
    void OnUiThread(std::function<void()> work) {
        // Looked at again there: the run may be dropped while the call waits in the queue.
        if (!m_dropped())
            QMetaObject::invokeMethod(
                m_context,
                [dropped = m_dropped, work = std::move(work)] {
                    if (!dropped())
                        work();
                },
                Qt::BlockingQueuedConnection);
    }

private:
    QObject* m_context;
    std::function<bool()> m_dropped;
    std::function<void(QString)> m_show;
    std::function<void(QString)> m_log;
};

}  // namespace

AddressBookRetrieval::AddressBookRetrieval(IApplication& app, QObject* parent)
    : QObject(parent), m_app(app), m_ending(std::make_shared<std::atomic<bool>>(false)) {}

AddressBookRetrieval::~AddressBookRetrieval() {
    // Cancelled, every wait of a run ends within a tenth of a second (a hanging name lookup is
    // left to its own thread), so each run is waited for until it has ended and no thread is
    // left holding this object. What a run hands to this thread meanwhile is let through and
    // dropped; else the run would wait for it. The threads are taken off the list first, as
    // the calls let through include the handlers that take ended threads off it.
    *m_ending = true;
    const QList<QThread*> threads = std::exchange(m_threads, {});
    for (QThread* thread : threads) {
        while (!thread->wait(kJoinSliceMs))
            QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        delete thread;
    }
    if (m_getRunning)
        QApplication::restoreOverrideCursor();
    delete m_waitDialog.data();
}

void AddressBookRetrieval::Attach(CMainFrame* frame, LogWorkspace* workspace) {
    m_frame = frame;
    m_workspace = workspace;
}

void AddressBookRetrieval::Start(std::function<void()> work, QThread::Priority priority) {
    QThread* thread = QThread::create(std::move(work));
    thread->setObjectName(QStringLiteral("QuillpadFetch"));
    m_threads.append(thread);
    connect(thread, &QThread::finished, this, [this, thread] {
        // Not on the list: already waited for and deleted at the program's end.
        if (m_threads.removeOne(thread))
            thread->deleteLater();
    });
    thread->start(priority);
}

bool AddressBookRetrieval::GetAddressBooks(QWidget* parent) {
    if (m_getRunning)
        return false;
    const Settings& settings = m_app.GetSettings();
    CConfirmRetrievalDlg confirm(settings.m_strFtpServer, settings.m_strFtpUsername,
                                 settings.m_strFtpDirectory, parent);
    if (!confirm.Confirm())
        return false;
    m_getRunning = true;
    m_getCancelled = std::make_shared<std::atomic<bool>>(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto* waitDialog = new CRetrievalWaitDlg(parent);
    m_waitDialog = waitDialog;
    connect(waitDialog, &CRetrievalWaitDlg::cancelRequested, this,
            &AddressBookRetrieval::CancelGet);
    QTimer::singleShot(kWaitDialogDelayMs, waitDialog, &QWidget::show);

    const Retrieval::Target target = Retrieval::Target::FromSettings(settings);
    QPointer<QWidget> owner(parent);
    // Progress goes to the main window's status bar: the one the command came from, else the
    // program's.
    QPointer<CMainFrame> frame = qobject_cast<CMainFrame*>(parent ? parent->window() : nullptr);
    if (!frame)
        frame = m_frame;
    QPointer<CRetrievalWaitDlg> shown(waitDialog);
    Start(
        [this, target, owner, frame, shown, ending = m_ending, cancelled = m_getCancelled,
         limits = m_limits] {
            const auto dropped = [ending, cancelled] { return *ending || *cancelled; };
            ForwardingReport report(
                this, dropped, [owner](const QString& text) { MessageBox::Plain(owner, text); },
                [](const QString&) {});
            auto progress = [frame, shown, &report](const QString& text) {
                report.OnUiThread([frame, shown, text] {
                    if (frame) {
                        frame->statusBar()->showMessage(text);
                        frame->statusBar()->repaint();
                    }
                    if (shown)
                        shown->ShowProgress(text);
                });
            };
            const int count = Retrieval::Run(target, Retrieval::Mode::Interactive, report, progress,
                                             dropped, limits);
            QMetaObject::invokeMethod(
                this,
                [this, owner, frame, count, ending] {
                    if (*ending)
                        return;
                    // The last progress line ("Connecting to ...") goes with the run.
                    if (frame)
                        frame->statusBar()->clearMessage();
                    FinishGet(owner, count);
                },
                Qt::QueuedConnection);
        },
        QThread::NormalPriority);
    return true;
}

void AddressBookRetrieval::FinishGet(QPointer<QWidget> owner, int count) {
    QApplication::restoreOverrideCursor();
    m_getRunning = false;
    delete m_waitDialog.data();
    // Books received before a Cancel are in place all the same.
    if (count >= 1)
        MessageBox::Information(owner, Retrieval::ReceivedText(count));
    Q_EMIT getFinished(count);
}

void AddressBookRetrieval::CancelGet() {
    if (m_getRunning)
        *m_getCancelled = true;
}

void AddressBookRetrieval::UpdateAddressBooks(CQuillpadView* logView) {
    const Retrieval::Target target = Retrieval::Target::FromSettings(m_app.GetSettings());
    QPointer<CQuillpadView> log(logView);
    Start(
        [this, target, log, ending = m_ending, limits = m_limits] {
            const auto dropped = [ending] { return ending->load(); };
            ForwardingReport report(
                this, dropped, [](const QString&) {},
                [this, log](const QString& line) {
                    CQuillpadView* view =
                        log ? log.data() : (m_workspace ? m_workspace->HubView() : nullptr);
                    if (view)
                        view->AppendLine(line);
                });
            const int count =
                Retrieval::Run(target, Retrieval::Mode::Periodic, report, {}, dropped, limits);
            QMetaObject::invokeMethod(
                this,
                [this, count, ending] {
                    if (!*ending)
                        Q_EMIT updateFinished(count);
                },
                Qt::QueuedConnection);
        },
        QThread::IdlePriority);
}
