// A Send or Check run on its own thread, without a window: what it reports reaches its owner's
// thread in order while the run waits, and a run whose owner has gone reaches it no more.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>
#include <atomic>

#include "TestSupport.h"
#include "message/MessageRun.h"
#include "net/NoteRuns.h"

namespace {

// Stands in for the window: records each call and the thread it came on.
class RecordingDisplay : public QuietRunReporter {
public:
    QStringList m_calls;
    std::atomic<int> m_nCalls{0};
    bool m_bOffThread = false;

    void SetStatus(const QString& text) override { Record(QStringLiteral("status ") + text); }
    void SetProgressRange(int count) override { Record(QStringLiteral("range %1").arg(count)); }
    void StepProgress() override { Record(QStringLiteral("step")); }
    void AppendLog(const QString& line) override { Record(QStringLiteral("log ") + line); }
    void SetMark(int index, int mark) override {
        Record(QStringLiteral("mark %1 %2").arg(index).arg(mark));
    }
    void SetFullName(int index, const QString& fullName) override {
        Record(QStringLiteral("full name %1 ").arg(index) + fullName);
    }

private:
    void Record(const QString& call) {
        m_bOffThread = m_bOffThread || QThread::currentThread() != qApp->thread();
        m_calls << call;
        ++m_nCalls;
    }
};

}  // namespace

class TestMessageRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reportsReachTheOwnerInOrder();
    void goneRunStopsAtOnce();
    void callPostedBeforeTheCutIsDropped();
    void workPastTheWaitIsLeftToEndAlone();
};

void TestMessageRun::reportsReachTheOwnerInOrder() {
    QObject window;
    RecordingDisplay display;
    // What the work saw of the display after each call: the call had been carried out.
    auto seen = std::make_shared<QList<int>>();
    MessageRun run(window, display, {}, [&display, seen](IRunReporter& reporter) {
        reporter.SetProgressRange(2);
        seen->append(display.m_nCalls);
        reporter.SetStatus(QStringLiteral("Checking Anna..."));
        seen->append(display.m_nCalls);
        reporter.SetMark(3, 1);
        reporter.SetFullName(3, QStringLiteral("Anna A."));
        reporter.StepProgress();
        reporter.AppendLog(QStringLiteral("Bert is not listening..."));
        seen->append(display.m_nCalls);
    });
    QSignalSpy finished(&run, &MessageRun::finished);
    QVERIFY(finished.wait(5000));
    QCOMPARE(display.m_calls,
             (QStringList{QStringLiteral("range 2"), QStringLiteral("status Checking Anna..."),
                          QStringLiteral("mark 3 1"), QStringLiteral("full name 3 Anna A."),
                          QStringLiteral("step"), QStringLiteral("log Bert is not listening...")}));
    QCOMPARE(*seen, (QList<int>{1, 2, 6}));
    QVERIFY(!display.m_bOffThread);
}

void TestMessageRun::goneRunStopsAtOnce() {
    // The window goes while its run waits: the run is cancelled, the window waits only as long
    // as the run's next step, and nothing the run reports afterwards reaches it.
    QObject window;
    RecordingDisplay display;
    std::atomic<bool> ended{false};
    auto run = std::make_unique<MessageRun>(
        window, display, MessageRun::Context{}, [&ended](IRunReporter& reporter) {
            for (int i = 0; i < 600 && !reporter.IsCancelled(); ++i) {
                reporter.SetStatus(QStringLiteral("tick"));
                QThread::msleep(10);
            }
            reporter.AppendLog(QStringLiteral("after the cancel"));
            ended = true;
        });
    QVERIFY(WaitFor([&] { return display.m_nCalls > 2; }, 5000));
    QElapsedTimer clock;
    clock.start();
    run.reset();
    QVERIFY2(clock.elapsed() < MessageRun::kStopWaitMs,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY(ended);
    const int calls = display.m_nCalls;
    QTest::qWait(200);
    QCOMPARE(display.m_nCalls, calls);
    QVERIFY(!display.m_calls.contains(QStringLiteral("log after the cancel")));
}

void TestMessageRun::callPostedBeforeTheCutIsDropped() {
    // The work's call is already on its way to the window when the run goes: the window's
    // thread had not run it yet. It must not reach the display when it does.
    QObject window;
    RecordingDisplay display;
    std::atomic<bool> calling{false};
    auto run = std::make_unique<MessageRun>(window, display, MessageRun::Context{},
                                            [&calling](IRunReporter& reporter) {
                                                calling = true;
                                                reporter.SetStatus(QStringLiteral("late"));
                                            });
    // No events run here meanwhile, so the call stays posted.
    for (int i = 0; i < 500 && !calling; ++i)
        QThread::msleep(10);
    QVERIFY(calling);
    QThread::msleep(100);
    run.reset();
    QTest::qWait(TestTime(200));
    QCOMPARE(display.m_nCalls, 0);
}

void TestMessageRun::workPastTheWaitIsLeftToEndAlone() {
    // Work that does not look at the cancel holds its owner for kStopWaitMs at most; when it
    // ends later, what it reports is dropped and its thread goes.
    auto window = std::make_unique<QObject>();
    RecordingDisplay display;
    std::atomic<bool> ended{false};
    auto run = std::make_unique<MessageRun>(*window, display, MessageRun::Context{},
                                            [&ended](IRunReporter& reporter) {
                                                QThread::msleep(MessageRun::kStopWaitMs + 800);
                                                reporter.SetStatus(QStringLiteral("late"));
                                                ended = true;
                                            });
    QElapsedTimer clock;
    clock.start();
    run.reset();
    const qint64 waited = clock.elapsed();
    QVERIFY2(waited >= MessageRun::kStopWaitMs - 100 && waited < MessageRun::kStopWaitMs + 700,
             qPrintable(QString::number(waited)));
    QVERIFY(!ended);
    window.reset();
    QVERIFY(WaitFor([&] { return ended.load(); }, 5000));
    QTest::qWait(100);  // the thread deletes itself once it has finished
    QCOMPARE(display.m_nCalls, 0);
}

QUILLPAD_TEST_MAIN(TestMessageRun)
#include "TestMessageRun.moc"
