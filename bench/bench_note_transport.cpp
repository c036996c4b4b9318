// The cost of carrying notes: encoding and decoding records (many small ones and 50 KB note
// bodies), and one check exchange against another process next to a bare one-byte exchange
// over the same loopback connection set-up.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTcpSocket>

#include "BenchSupport.h"
#include "net/CMsg.h"
#include "net/NoteExchange.h"
#include "net/NoteRuns.h"

namespace {

constexpr int kNotes = 400;
constexpr qsizetype kLargeBody = 50 * 1024;
constexpr qsizetype kReadChunk = 64 * 1024;  // what one socket read typically gives
constexpr int kTimeoutMs = 5000;

QString Body(qsizetype size, int seed) {
    QString body;
    body.reserve(size);
    const QString words =
        QStringLiteral("meeting moved to room four after lunch, bring the notes ");
    for (qsizetype i = 0; body.size() < size; ++i)
        body += words.at((i * 7 + seed) % words.size());
    return body;
}

// The records of kNotes notes. Workload 0: short notes; 1: 50 KB notes; 2: one in ten is 50 KB.
QList<CMsg> NoteRecords(int workload) {
    NoteIdentity sender;
    sender.m_strFullName = QStringLiteral("Ann Example");
    sender.m_strLocation = QStringLiteral("Second floor, room 4");
    sender.m_strPhone = QStringLiteral("+44 20 7946 0018");
    sender.m_nPort = 6001;
    QList<CMsg> records;
    for (int i = 0; i < kNotes; ++i) {
        const bool large = workload == 1 || (workload == 2 && i % 10 == 0);
        OutgoingNote note;
        note.m_strRecipientField = QStringLiteral("Bob;Carol;Zoe;");
        note.m_strBody = Body(large ? kLargeBody : 40 + (i * 37) % 200, i);
        records += BuildNoteRecords(sender, QStringLiteral("192.168.10.23"), note);
    }
    return records;
}

const char* WorkloadName(int workload) {
    switch (workload) {
        case 0:
            return "short notes";
        case 1:
            return "50 KB notes";
        default:
            return "one in ten 50 KB";
    }
}

void EncodeRecords(benchmark::State& state) {
    const QList<CMsg> records = NoteRecords(static_cast<int>(state.range(0)));
    qint64 bytes = 0;
    for (const CMsg& record : records)
        bytes += record.Encode().size();
    for (auto _ : state) {
        for (const CMsg& record : records) {
            QByteArray encoded = record.Encode();
            benchmark::DoNotOptimize(encoded.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * records.size());
    state.SetLabel(WorkloadName(static_cast<int>(state.range(0))));
}
BENCHMARK(EncodeRecords)->Arg(0)->Arg(1)->Arg(2);

void DecodeRecords(benchmark::State& state) {
    const QList<CMsg> records = NoteRecords(static_cast<int>(state.range(0)));
    QByteArray stream;
    for (const CMsg& record : records)
        stream += record.Encode();
    for (auto _ : state) {
        MsgDecoder decoder;
        CMsg msg;
        qsizetype decoded = 0;
        for (qsizetype offset = 0; offset < stream.size(); offset += kReadChunk) {
            decoder.Feed(
                QByteArrayView(stream).sliced(offset, qMin(kReadChunk, stream.size() - offset)));
            while (decoder.Next(msg) == MsgDecoder::Result::Record)
                ++decoded;
        }
        if (decoded != records.size()) {
            state.SkipWithError("records lost in decoding");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
    state.SetItemsProcessed(state.iterations() * records.size());
    state.SetLabel(WorkloadName(static_cast<int>(state.range(0))));
}
BENCHMARK(DecodeRecords)->Arg(0)->Arg(1)->Arg(2);

// A check_responder process for the length of one benchmark run.
class Responder {
public:
    explicit Responder(const QString& mode) {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(CHECK_RESPONDER), {mode, QStringLiteral("Bench Responder")});
        const QDeadlineTimer deadline(kTimeoutMs);
        while (!m_process.canReadLine() && m_process.state() != QProcess::NotRunning &&
               !deadline.hasExpired())
            m_process.waitForReadyRead(static_cast<int>(qMax<qint64>(deadline.remainingTime(), 1)));
        m_nPort = m_process.readLine().trimmed().toInt();
    }
    ~Responder() {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(kTimeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(kTimeoutMs);
        }
    }
    qint32 Port() const { return m_nPort; }

private:
    QProcess m_process;
    qint32 m_nPort = 0;
};

void CheckExchange(benchmark::State& state) {
    Responder responder(QStringLiteral("check"));
    if (responder.Port() <= 0) {
        state.SkipWithError("check_responder did not start");
        return;
    }
    const AddressEntry address{QStringLiteral("bench"), QStringLiteral("127.0.0.1"),
                               responder.Port()};
    QString fullName;
    for (auto _ : state) {
        if (!NoteRuns::CheckAddress(address, kTimeoutMs / 1000, fullName) ||
            fullName != QStringLiteral("Bench Responder")) {
            state.SkipWithError("check failed");
            break;
        }
    }
}
BENCHMARK(CheckExchange)->Unit(benchmark::kMicrosecond);

// The same steps as a check (connect, write and wait until written, wait for the answer,
// close), with one byte each way and no records.
void BareExchange(benchmark::State& state) {
    Responder responder(QStringLiteral("bare"));
    if (responder.Port() <= 0) {
        state.SkipWithError("check_responder did not start");
        return;
    }
    for (auto _ : state) {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(responder.Port()));
        bool answered = socket.waitForConnected(kTimeoutMs) && socket.write("?", 1) == 1;
        while (answered && socket.bytesToWrite() > 0)
            answered = socket.waitForBytesWritten(kTimeoutMs);
        answered = answered && socket.waitForReadyRead(kTimeoutMs) && socket.read(1).size() == 1;
        socket.disconnectFromHost();
        if (socket.state() != QAbstractSocket::UnconnectedState)
            socket.waitForDisconnected(1000);
        socket.abort();
        if (!answered) {
            state.SkipWithError("bare exchange failed");
            break;
        }
    }
}
BENCHMARK(BareExchange)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks<QCoreApplication>(argc, argv);
}
