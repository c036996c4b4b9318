// The senders of the flood benchmarks, in a process of their own, as a flood from other machines
// would be: the receiving copy's memory is then its own alone.
//
//   flood_sender PORT NOTE_SENDERS NOTES_EACH CHECK_SENDERS CHECKS_EACH
//
// It prints "ready" and starts on the first line that comes on standard input. Each note
// sender sends NOTES_EACH notes to 127.0.0.1:PORT, one connection each, as a Send run
// does. Each check sender sends CHECKS_EACH checks, or with 0 one every 100 ms until a line (or
// the end) comes on standard input after the first. Prints "notes-sent" once every note sender has
// finished, and at the end "sent=N checks=N slowestAnswerMs=X slowestCheckMs=Y".
#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "net/CNoteSocket.h"
#include "net/NoteExchange.h"
#include "net/NoteRuns.h"

namespace {

void KeepSlowest(std::atomic<qint64>& slowest, qint64 value) {
    qint64 known = slowest;
    while (value > known && !slowest.compare_exchange_weak(known, value)) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 6) {
        std::fprintf(
            stderr, "usage: flood_sender PORT NOTE_SENDERS NOTES_EACH CHECK_SENDERS CHECKS_EACH\n");
        return 2;
    }
    const auto port = static_cast<quint16>(std::atoi(argv[1]));
    const int noteSenders = std::atoi(argv[2]);
    const int notesEach = std::atoi(argv[3]);
    const int checkSenders = std::atoi(argv[4]);
    const int checksEach = std::atoi(argv[5]);

    const NoteIdentity sender{
        QStringLiteral("Flood Sender"), QString(), QString(), QString(), QString(), 6001};
    const AddressEntry target{QStringLiteral("Bench"), QStringLiteral("127.0.0.1"), port};
    std::atomic<int> sent{0};
    std::atomic<int> noteSendersLeft{noteSenders};
    std::atomic<bool> stopChecks{false};
    std::atomic<int> answered{0};
    std::atomic<qint64> slowestAnswerNs{0};
    std::atomic<qint64> slowestCheckNs{0};

    std::puts("ready");
    std::fflush(stdout);
    char go[16];
    if (!std::fgets(go, sizeof go, stdin))
        return 1;

    std::vector<std::thread> threads;
    for (int s = 0; s < noteSenders; ++s) {
        threads.emplace_back([&, s] {
            QuietRunReporter reporter;
            for (int i = 0; i < notesEach; ++i) {
                OutgoingNote note{QStringLiteral("Bench;"),
                                  QStringLiteral("Note %1 of sender %2").arg(i).arg(s), QString(),
                                  QString()};
                if (NoteRuns::SendToRecipient(target, note, sender, 10, reporter))
                    ++sent;
            }
            if (--noteSendersLeft == 0) {
                std::puts("notes-sent");
                std::fflush(stdout);
            }
        });
    }
    for (int s = 0; s < checkSenders; ++s) {
        threads.emplace_back([&] {
            for (int i = 0; checksEach == 0 ? !stopChecks : i < checksEach; ++i) {
                // A check run's steps, timed apart: the answer, and the whole run with its wait
                // for the receiver to close.
                QElapsedTimer clock;
                clock.start();
                CNoteSocket socket;
                CMsg reply;
                const bool replied =
                    socket.ConnectTo(nullptr, target.m_strAddress, target.m_nPort, 10) &&
                    socket.SendMsg(CheckRequest()) &&
                    socket.ReceiveMsg(reply, 10000) == CNoteSocket::Receive::Record &&
                    reply.Text() == QStringLiteral("Bench");
                KeepSlowest(slowestAnswerNs, clock.nsecsElapsed());
                socket.Close();
                KeepSlowest(slowestCheckNs, clock.nsecsElapsed());
                if (replied)
                    ++answered;
                if (checksEach == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    if (checkSenders > 0 && checksEach == 0) {
        // Stays blocked in the read until the benchmark writes again or closes: detached.
        std::thread([&stopChecks] {
            char line[16];
            std::fgets(line, sizeof line, stdin);
            stopChecks = true;
        }).detach();
    }
    for (std::thread& thread : threads)
        thread.join();
    if (noteSenders == 0) {
        std::puts("notes-sent");
    }
    std::printf("sent=%d checks=%d slowestAnswerMs=%.1f slowestCheckMs=%.1f\n", sent.load(),
                answered.load(), slowestAnswerNs / 1e6, slowestCheckNs / 1e6);
    std::fflush(stdout);
    std::_Exit(0);  // the reader of standard input may still be waiting
}
