// Floods of notes into one running copy: 1,000 notes from 20 senders at once, with a check
// every 100 ms beside them; and a soak of 10,000 notes and 10,000 checks from several senders.
// The senders run in a process of their own (flood_sender), so the memory figures are the
// copy's alone. Each benchmark reports its figures as counters: the time until every sender
// was let go, the slowest check answer, the memory (RSS, heap) at the points that matter and
// what the copy holds at the end.
#include <malloc.h>

#include <QFile>
#include <QTcpSocket>
#include <QTextDocument>
#include <memory>

#include "FloodSender.h"
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

// The heap in use, mapped blocks included: what the copy holds, without the allocator's free
// pages that RSS may still count.
double HeapMb() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / 1048576.0;
}

// What a copy of the log's text with its formats takes: the log's own share of the heap, less
// its layout.
double LogCopyMb(const QTextDocument& log) {
    const double before = HeapMb();
    std::unique_ptr<QTextDocument> copy(log.clone());
    return HeapMb() - before;
}

void SoakTenThousand(benchmark::State& state) {
    for (auto _ : state) {
        Receiver receiver;
        QTextDocument* log = receiver.workspace->HubView()->document();
        const qsizetype logBefore = log->characterCount();
        // The first thousand notes and checks, then quiet: the copy's ordinary state with a
        // log of a thousand notes. Then the other nine thousand.
        const LoadResult first = SendLoad(receiver, Load{5, 200, 5, 200});
        state.counters["rssAfter1000MB"] = TrimmedRssMb();
        state.counters["heapAfter1000MB"] = HeapMb();
        state.counters["logCopyAfter1000MB"] = LogCopyMb(*log);
        const int loggedFirst = LoggedNotes(receiver);
        const qsizetype logFirst = log->characterCount() - logBefore;
        // The log emptied, at both points: what the copy holds besides its log.
        log->clear();
        state.counters["rssAfter1000LessLogMB"] = TrimmedRssMb();
        state.counters["heapAfter1000LessLogMB"] = HeapMb();
        const LoadResult rest = SendLoad(receiver, Load{5, 1800, 5, 1800});
        state.SetIterationTime(first.m_seconds + rest.m_seconds);
        state.counters["rssEndMB"] = TrimmedRssMb();
        state.counters["heapEndMB"] = HeapMb();
        state.counters["logCopyEndMB"] = LogCopyMb(*log);
        state.counters["logged"] = loggedFirst + LoggedNotes(receiver);
        state.counters["logMB"] = (logFirst + log->characterCount()) / 1e6;
        log->clear();
        state.counters["rssEndLessLogMB"] = TrimmedRssMb();
        state.counters["heapEndLessLogMB"] = HeapMb();
        state.counters["sent"] = first.m_nNotesSent + rest.m_nNotesSent;
        state.counters["checks"] = first.m_nChecksAnswered + rest.m_nChecksAnswered;
        state.counters["slowestCheckMs"] = std::max(first.m_slowestCheckMs, rest.m_slowestCheckMs);
        state.counters["slowestAnswerMs"] =
            std::max(first.m_slowestAnswerMs, rest.m_slowestAnswerMs);
        // Every connection has gone with its note.
        state.counters["connectionsLeft"] =
            static_cast<double>(receiver.services->findChildren<QTcpSocket*>().size());
    }
}
BENCHMARK(SoakTenThousand)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks<QApplication>(argc, argv);
}
