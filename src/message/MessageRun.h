#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "shell/SoundSpec.h"

class IApplication;
class IRunReporter;
class QThread;
class RecentListWriter;
struct RunLink;

// The Send or Check run of one message window, on a thread of its own. The window owns its
// run; the run shows what it does through the window's display, on the window's thread, and
// reaches it no more once the run object has gone.
class MessageRun : public QObject {
    Q_OBJECT
public:
    // What a run needs beyond its window, taken when it starts: the run never reads the
    // settings, which Preferences may be writing meanwhile.
    struct Context {
        const IApplication* m_app = nullptr;  // plays the sounds; outlives every window
        SoundSpec m_errorSound;
        std::shared_ptr<RecentListWriter> m_recentLists;
        QString m_strDataDirectory;
    };
    // What the run does on its thread, reporting as it goes.
    using Work = std::function<void(IRunReporter&)>;

    // A run object that goes while its work goes on waits this long at most for the work.
    static constexpr int kStopWaitMs = 2000;

    // Starts work at once. display receives the status, the progress, the log lines, the marks
    // and the full names, on window's thread, one call at a time; the work waits for each. The
    // error sound and Last Senders are taken care of on the run's own thread.
    MessageRun(QObject& window, IRunReporter& display, Context context, Work work);
    // Cuts the run off its window and cancels it. Every wait of the work gives up within a
    // tenth of a second of the cancel; work that takes longer than kStopWaitMs even so is left
    // to end on its own.
    ~MessageRun() override;
    MessageRun(const MessageRun&) = delete;
    MessageRun& operator=(const MessageRun&) = delete;

Q_SIGNALS:
    // The work has ended. The run may be deleted later, not from a slot of this signal.
    void finished();

private:
    void OnThreadFinished();

    std::shared_ptr<RunLink> m_link;
    QThread* m_thread = nullptr;
};
