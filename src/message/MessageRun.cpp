#include "message/MessageRun.h"

#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <atomic>

#include "addressbook/AddressBook.h"
#include "addressbook/RecentListWriter.h"
#include "net/NoteRuns.h"
#include "shell/IApplication.h"

// What a run shares with its owner. The owner cuts the link under the lock when it goes: from
// then on the run reaches its window no more and stops at its next step.
struct RunLink {
    RunLink(QObject* window, IRunReporter* display) : m_window(window), m_display(display) {}
    QMutex m_mutex;
    QObject* m_window;  // null once cut
    IRunReporter* m_display;
    std::atomic<bool> m_bCancelled{false};
};

namespace {

// Carries what the work reports to the window's display, on the window's thread, in order; the
// work waits for each call, but never past the cut.
class WindowRunReporter : public IRunReporter {
public:
    WindowRunReporter(std::shared_ptr<RunLink> link, MessageRun::Context context)
        : m_link(std::move(link)), m_context(std::move(context)) {}

    void RunStarted() override {}
    void RunFinished() override {}
    void SetStatus(const QString& text) override {
        OnWindow([text](IRunReporter& display) { display.SetStatus(text); });
    }
    void SetProgressRange(int count) override {
        OnWindow([count](IRunReporter& display) { display.SetProgressRange(count); });
    }
    void StepProgress() override {
        OnWindow([](IRunReporter& display) { display.StepProgress(); });
    }
    void AppendLog(const QString& line) override {
        OnWindow([line](IRunReporter& display) { display.AppendLog(line); });
    }
    void PlayErrorSound() override {
        // Played here: a built-in sound holds only this run's thread until it has ended.
        if (!IsCancelled())
            m_context.m_app->PlayNotificationSound(m_context.m_errorSound);
    }
    void RecipientReached(const AddressEntry& entry) override {
        if (!IsCancelled())
            m_context.m_recentLists->Push(m_context.m_strDataDirectory,
                                          QLatin1String(kLastSendersFile),
                                          QString::fromLatin1(kLastSendersDescription), {entry});
    }
    void SetMark(int index, int mark) override {
        OnWindow([index, mark](IRunReporter& display) { display.SetMark(index, mark); });
    }
    void SetFullName(int index, const QString& fullName) override {
        OnWindow(
            [index, fullName](IRunReporter& display) { display.SetFullName(index, fullName); });
    }
    bool IsCancelled() const override { return m_link->m_bCancelled; }

private:
    static constexpr int kWaitSliceMs = 100;

    // Runs work on the window's thread and waits until it has run, or until the link is cut.
    template <typename F>
    void OnWindow(F work) {
        auto done = std::make_shared<QSemaphore>();
        {
            const QMutexLocker lock(&m_link->m_mutex);
            if (!m_link->m_window)
                return;
            // A window that goes first drops the call with its other posted events. A run that
            // goes first cuts the link on the window's thread, before a call already posted
            // runs there: the call looks at the link when it runs, not when it was posted.
            QMetaObject::invokeMethod(
                m_link->m_window,
                [link = m_link, work = std::move(work), done] {
                    IRunReporter* display = nullptr;
                    {
                        const QMutexLocker lock(&link->m_mutex);
                        display = link->m_display;
                    }
                    if (display)
                        work(*display);
                    done->release();
                },
                Qt::QueuedConnection);
        }
        while (!done->tryAcquire(1, kWaitSliceMs)) {
            if (IsCancelled())
                return;
        }
    }

    std::shared_ptr<RunLink> m_link;
    MessageRun::Context m_context;
};

}  // namespace

MessageRun::MessageRun(QObject& window, IRunReporter& display, Context context, Work work)
    : m_link(std::make_shared<RunLink>(&window, &display)) {
    // The work holds its link and what it was given, never the window itself.
    m_thread =
        QThread::create([link = m_link, context = std::move(context), work = std::move(work)] {
            WindowRunReporter reporter(link, context);
            work(reporter);
        });
    connect(m_thread, &QThread::finished, this, &MessageRun::OnThreadFinished);
    m_thread->start();
}

MessageRun::~MessageRun() {
    RunLink& link = *m_link;
    {
        const QMutexLocker lock(&link.m_mutex);
        link.m_window = nullptr;
        link.m_display = nullptr;
        link.m_bCancelled.store(true);
    }
    if (m_thread) {
        connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
        if (m_thread->wait(kStopWaitMs))
            delete m_thread;
    }
}

void MessageRun::OnThreadFinished() {
    if (m_thread) {
        // The thread has ended its work and is finishing: it is deleted once it has.
        m_thread->deleteLater();
        m_thread = nullptr;
    }
    Q_EMIT finished();
}
