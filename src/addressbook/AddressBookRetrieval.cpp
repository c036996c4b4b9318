#include "addressbook/AddressBookRetrieval.h"

#include <QApplication>
#include <QStatusBar>

#include "addressbook/CConfirmRetrievalDlg.h"
#include "addressbook/Retrieval.h"
#include "app/CQuillpadApp.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadView.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"

namespace {

// Carries a run's reports to the user-interface thread, waiting for each, until the program
// is ending.
class ForwardingReport : public IRetrievalReport {
public:
    ForwardingReport(QObject* context, std::shared_ptr<std::atomic<bool>> cancel,
                     std::function<void(QString)> show, std::function<void(QString)> log)
        : m_context(context),
          m_cancel(std::move(cancel)),
          m_show(std::move(show)),
          m_log(std::move(log)) {}

    void Show(const QString& text) override {
        OnUiThread([this, text] { m_show(text); });
    }
    void Log(const QString& line) override {
        OnUiThread([this, line] { m_log(line); });
    }
    void OnUiThread(std::function<void()> work) {
        // The program may start ending while the call waits in the queue: then it is dropped.
        if (!*m_cancel)
            QMetaObject::invokeMethod(
                m_context,
                [cancel = m_cancel, work = std::move(work)] {
                    if (!*cancel)
                        work();
                },
                Qt::BlockingQueuedConnection);
    }

private:
    QObject* m_context;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::function<void(QString)> m_show;
    std::function<void(QString)> m_log;
};

}  // namespace

AddressBookRetrieval::AddressBookRetrieval(CQuillpadApp& app, QObject* parent)
    : QObject(parent), m_app(app), m_cancel(std::make_shared<std::atomic<bool>>(false)) {}

AddressBookRetrieval::~AddressBookRetrieval() {
    // The runs stop at their next wait; what they still report is let through until they end.
    *m_cancel = true;
    for (QThread* thread : std::as_const(m_threads)) {
        for (int i = 0; i < 500 && !thread->wait(10); ++i)
            QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        if (thread->isFinished())
            delete thread;
    }
    if (m_getRunning)
        QApplication::restoreOverrideCursor();
}

void AddressBookRetrieval::Start(std::function<void()> work, QThread::Priority priority) {
    QThread* thread = QThread::create(std::move(work));
    m_threads.append(thread);
    connect(thread, &QThread::finished, this, [this, thread] {
        m_threads.removeOne(thread);
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
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Retrieval::Target target = Retrieval::Target::FromSettings(settings);
    QPointer<QWidget> owner(parent);
    // Progress goes to the main window's status bar: the one the command came from, else the
    // program's.
    QPointer<CMainFrame> frame = qobject_cast<CMainFrame*>(parent ? parent->window() : nullptr);
    if (!frame)
        frame = m_app.MainFrame();
    auto cancel = m_cancel;
    Start(
        [this, target, owner, frame, cancel] {
            ForwardingReport report(
                this, cancel, [owner](const QString& text) { MessageBox::Plain(owner, text); },
                [](const QString&) {});
            auto progress = [frame, &report](const QString& text) {
                report.OnUiThread([frame, text] {
                    if (frame) {
                        frame->statusBar()->showMessage(text);
                        frame->statusBar()->repaint();
                    }
                });
            };
            const int count = Retrieval::Run(target, Retrieval::Mode::Interactive, report, progress,
                                             [cancel] { return cancel->load(); });
            if (*cancel)
                return;
            QMetaObject::invokeMethod(
                this,
                [this, owner, count] {
                    QApplication::restoreOverrideCursor();
                    m_getRunning = false;
                    if (count >= 1)
                        MessageBox::Information(owner, Retrieval::ReceivedText(count));
                    Q_EMIT getFinished(count);
                },
                Qt::QueuedConnection);
        },
        QThread::NormalPriority);
    return true;
}

void AddressBookRetrieval::UpdateAddressBooks(CQuillpadView* logView) {
    const Retrieval::Target target = Retrieval::Target::FromSettings(m_app.GetSettings());
    QPointer<CQuillpadView> log(logView);
    auto cancel = m_cancel;
    Start(
        [this, target, log, cancel] {
            ForwardingReport report(
                this, cancel, [](const QString&) {},
                [this, log](const QString& line) {
                    CQuillpadView* view =
                        log ? log.data()
                            : (m_app.Workspace() ? m_app.Workspace()->HubView() : nullptr);
                    if (view)
                        view->AppendLine(line);
                });
            const int count = Retrieval::Run(target, Retrieval::Mode::Periodic, report, {},
                                             [cancel] { return cancel->load(); });
            if (!*cancel)
                QMetaObject::invokeMethod(
                    this, [this, count] { Q_EMIT updateFinished(count); }, Qt::QueuedConnection);
        },
        QThread::IdlePriority);
}
