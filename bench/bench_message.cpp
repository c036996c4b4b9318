// A running copy under load: 100 notes sent to it at once until all are shown and every sender
// has seen its connection closed, and 1,000
// checks in a row answered by it next to 1,000 bare TCP exchanges with a responder process.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <thread>

#include "FloodSender.h"
#include "net/NoteExchange.h"
#include "net/NoteRuns.h"

namespace {

void HundredNotesShown(benchmark::State& state) {
    Receiver receiver;
    for (auto _ : state) {
        // Four senders, 25 notes each, all at the same time, from a process of their own.
        const int before = receiver.shown;
        const LoadResult result = SendLoad(receiver, Load{4, 25, 0, 0});
        if (receiver.shown - before < 100) {
            state.SkipWithError(qPrintable(QStringLiteral("shown %1, sent %2")
                                               .arg(receiver.shown - before)
                                               .arg(result.m_nNotesSent)));
            break;
        }
        state.SetIterationTime(result.m_seconds);
        state.PauseTiming();
        receiver.CloseWindows();
        state.ResumeTiming();
    }
}

void MakeIncomingWindow(benchmark::State& state) {
    Receiver receiver;
    for (auto _ : state) {
        auto* window = new CMessageWindow(*receiver.services, receiver.workspace->HubView(), true);
        delete window;
    }
}
BENCHMARK(MakeIncomingWindow)->Unit(benchmark::kMillisecond);

BENCHMARK(HundredNotesShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void ThousandChecksAnswered(benchmark::State& state) {
    Receiver receiver;
    const AddressEntry target{QStringLiteral("Bench"), QStringLiteral("127.0.0.1"), receiver.port};
    for (auto _ : state) {
        bool allAnswered = true;
        if (!RunBeside([&] {
                for (int i = 0; i < 1000; ++i) {
                    QString fullName;
                    allAnswered = NoteRuns::CheckAddress(target, 5, fullName) &&
                                  fullName == QStringLiteral("Bench") && allAnswered;
                }
            }) ||
            !allAnswered) {
            state.SkipWithError("a check was not answered");
            break;
        }
    }
}
BENCHMARK(ThousandChecksAnswered)->Unit(benchmark::kMillisecond)->Iterations(3);

// The baseline: 1,000 bare TCP exchanges (connect, one byte each way, close) with the
// transport benchmark's responder process.
void ThousandBareExchanges(benchmark::State& state) {
    QProcess responder;
    responder.start(QStringLiteral(CHECK_RESPONDER), {QStringLiteral("bare")});
    const QDeadlineTimer deadline(kTimeoutMs);
    while (!responder.canReadLine() && !deadline.hasExpired() &&
           responder.state() != QProcess::NotRunning)
        responder.waitForReadyRead(100);
    const quint16 port = static_cast<quint16>(responder.readLine().trimmed().toInt());
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.1"), port);
            bool answered = socket.waitForConnected(kTimeoutMs) && socket.write("?", 1) == 1;
            while (answered && socket.bytesToWrite() > 0)
                answered = socket.waitForBytesWritten(kTimeoutMs);
            answered =
                answered && socket.waitForReadyRead(kTimeoutMs) && socket.read(1).size() == 1;
            socket.disconnectFromHost();
            if (socket.state() != QAbstractSocket::UnconnectedState)
                socket.waitForDisconnected(1000);
            if (!answered) {
                state.SkipWithError("bare exchange failed");
                return;
            }
        }
    }
    responder.closeWriteChannel();
    if (!responder.waitForFinished(kTimeoutMs))
        responder.kill();
}
BENCHMARK(ThousandBareExchanges)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks<QApplication>(argc, argv);
}
