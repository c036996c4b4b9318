// Floods of notes into one running copy: 1,000 notes from 20 senders at once, with a check
// every 100 ms beside them; and a soak of 10,000 notes and 10,000 checks from several senders.
// Each reports its figures as counters: the time until every sender was let go, the slowest
// check answer, the memory (RSS) at the points that matter and what the copy holds at the end.
#include <malloc.h>

#include <QElapsedTimer>
#include <QFile>

#include "ReceivingCopy.h"
#include "net/CNoteSocket.h"
#include "net/NoteExchange.h"
#include "net/NoteRuns.h"
#include "shell/CQuillpadView.h"

namespace {

double RssMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Memory given back to the system where the allocator can, so that RSS shows what is held.
double TrimmedRssMb() {
    malloc_trim(0);
    return RssMb();
}

struct Load {
    int m_nNoteSenders = 20;
    int m_nNotesEach = 50;
    int m_nCheckSenders = 1;
    int m_nChecksEach = 0;  // 0: one check every 100 ms until the notes are in
};

struct LoadResult {
    double m_seconds = 0;
    double m_slowestCheckMs = 0;
    double m_slowestAnswerMs = 0;
    int m_nChecksAnswered = 0;
    int m_nNotesSent = 0;
    double m_rssAfterFirstThousandMb = 0;
};

// Sends load into receiver while this thread serves it; returns once every sender is done and
// every note is whole.
LoadResult SendLoad(Receiver& receiver, const Load& load) {
    const NoteIdentity sender{
        QStringLiteral("Flood Sender"), QString(), QString(), QString(), QString(), 6001};
    const AddressEntry target{QStringLiteral("Bench"), QStringLiteral("127.0.0.1"), receiver.port};
    const int notes = load.m_nNoteSenders * load.m_nNotesEach;
    const int before = receiver.shown;
    LoadResult result;
    std::atomic<int> sent{0};
    std::atomic<int> sendersLeft{load.m_nNoteSenders + load.m_nCheckSenders};
    std::atomic<bool> notesDone{false};
    std::atomic<qint64> slowestNs{0};
    std::atomic<qint64> slowestAnswerNs{0};
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    QElapsedTimer clock;
    clock.start();
    for (int s = 0; s < load.m_nNoteSenders; ++s) {
        threads.emplace_back([&, s] {
            QuietRunReporter reporter;
            for (int i = 0; i < load.m_nNotesEach; ++i) {
                OutgoingNote note{QStringLiteral("Bench;"),
                                  QStringLiteral("Note %1 of sender %2").arg(i).arg(s), QString(),
                                  QString()};
                if (NoteRuns::SendToRecipient(target, note, sender, 10, reporter))
                    ++sent;
            }
            --sendersLeft;
        });
    }
    for (int s = 0; s < load.m_nCheckSenders; ++s) {
        threads.emplace_back([&] {
            for (int i = 0; load.m_nChecksEach == 0 ? !notesDone : i < load.m_nChecksEach; ++i) {
                // A check run's steps, timed apart: the answer, and the whole run with its
                // wait for the receiver to close.
                QElapsedTimer clock;
                clock.start();
                CNoteSocket socket;
                CMsg reply;
                const bool replied =
                    socket.ConnectTo(nullptr, target.m_strAddress, target.m_nPort, 10) &&
                    socket.SendMsg(CheckRequest()) &&
                    socket.ReceiveMsg(reply, 10000) == CNoteSocket::Receive::Record &&
                    reply.Text() == QStringLiteral("Bench");
                const qint64 answerNs = clock.nsecsElapsed();
                socket.Close();
                const qint64 ns = clock.nsecsElapsed();
                if (replied)
                    ++answered;
                for (auto [value, slowest] :
                     {std::pair{ns, &slowestNs}, std::pair{answerNs, &slowestAnswerNs}}) {
                    qint64 known = *slowest;
                    while (value > known && !slowest->compare_exchange_weak(known, value)) {
                    }
                }
                if (load.m_nChecksEach == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            --sendersLeft;
        });
    }
    const QDeadlineTimer deadline(load.m_nNotesEach * load.m_nNoteSenders * 60);
    bool firstThousand = false;
    while ((receiver.shown - before < notes || sendersLeft > load.m_nCheckSenders) &&
           !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!firstThousand && receiver.shown - before >= 1000) {
            firstThousand = true;
            result.m_rssAfterFirstThousandMb = TrimmedRssMb();
        }
    }
    result.m_seconds = clock.nsecsElapsed() / 1e9;
    notesDone = true;
    while (sendersLeft > 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    for (std::thread& t : threads)
        t.join();
    result.m_slowestCheckMs = slowestNs / 1e6;
    result.m_slowestAnswerMs = slowestAnswerNs / 1e6;
    result.m_nChecksAnswered = answered;
    result.m_nNotesSent = sent;
    return result;
}

int NoteWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<CMessageWindow*>(widget) && widget->isVisible() ? 1 : 0;
    return count;
}

int LoggedNotes(Receiver& receiver) {
    return static_cast<int>(receiver.workspace->HubView()->document()->toPlainText().count(
        QLatin1String("------------------------ Incoming Message ------------------------ ")));
}

void ThousandNotesFromTwentySenders(benchmark::State& state) {
    Receiver receiver;
    // A first flood that comes and goes untimed: what it leaves behind (the log's 1,000 notes,
    // fonts, shared icons) is the copy's ordinary state, and what the timed flood adds beyond
    // its own notes in the log would be a leak.
    const double rssStart = TrimmedRssMb();
    SendLoad(receiver, Load{});
    receiver.CloseWindows();
    const double rssAfterFirst = TrimmedRssMb();
    for (auto _ : state) {
        receiver.CloseWindows();
        const double rssBefore = TrimmedRssMb();
        const int loggedBefore = LoggedNotes(receiver);
        const qsizetype logBefore = receiver.workspace->HubView()->document()->characterCount();
        const LoadResult result = SendLoad(receiver, Load{});
        state.SetIterationTime(result.m_seconds);
        NoteNotice* notice = receiver.services->Notice();
        state.counters["windows"] = NoteWindows();
        state.counters["noticeCount"] = notice ? notice->Count() : 0;
        state.counters["logged"] = LoggedNotes(receiver) - loggedBefore;
        state.counters["logMB"] =
            (receiver.workspace->HubView()->document()->characterCount() - logBefore) / 1e6;
        state.counters["sent"] = result.m_nNotesSent;
        state.counters["slowestCheckMs"] = result.m_slowestCheckMs;
        state.counters["slowestAnswerMs"] = result.m_slowestAnswerMs;
        state.counters["checks"] = result.m_nChecksAnswered;
        state.counters["rssFloodMB"] = TrimmedRssMb();
        receiver.CloseWindows();
        state.counters["rssBeforeMB"] = rssBefore;
        state.counters["rssAfterCloseMB"] = TrimmedRssMb();
    }
    state.counters["rssStartMB"] = rssStart;
    state.counters["rssAfterFirstFloodMB"] = rssAfterFirst;
}
BENCHMARK(ThousandNotesFromTwentySenders)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void SoakTenThousand(benchmark::State& state) {
    for (auto _ : state) {
        Receiver receiver;
        const QTextDocument* log = receiver.workspace->HubView()->document();
        const qsizetype logBefore = log->characterCount();
        const LoadResult result = SendLoad(receiver, Load{5, 2000, 5, 2000});
        state.SetIterationTime(result.m_seconds);
        state.counters["logged"] = LoggedNotes(receiver);
        state.counters["sent"] = result.m_nNotesSent;
        state.counters["checks"] = result.m_nChecksAnswered;
        state.counters["slowestCheckMs"] = result.m_slowestCheckMs;
        state.counters["slowestAnswerMs"] = result.m_slowestAnswerMs;
        state.counters["rssAfter1000MB"] = result.m_rssAfterFirstThousandMb;
        state.counters["rssEndMB"] = TrimmedRssMb();
        state.counters["logMB"] = (log->characterCount() - logBefore) / 1e6;
        state.counters["logBlocks"] = log->blockCount();
    }
}
BENCHMARK(SoakTenThousand)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks<QApplication>(argc, argv);
}
