// How long a month's log of 10 MB takes to save (the document to RTF, into the file) and to
// reopen (the file back into a document).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <memory>

#include "BenchSupport.h"
#include "shell/LogRtf.h"
#include "shell/RtfCodec.h"

namespace {

constexpr qsizetype kLogCharacters = 10 * 1000 * 1000;
constexpr int kNotesPerPicture = 2000;
constexpr int kHalfPoints = 20;

QString Face() {
    return QStringLiteral("Times New Roman");
}

QString NoteBlock(int note) {
    return QStringLiteral(
               "\n------------------------ Incoming Message ------------------------ \n\n"
               "FROM: Anna Example at 09:05 PM - 12/07/26\n"
               "TO: Build server; Sales floor; \n\n"
               "Note %1: the nightly build failed at step 4 (unit tests).\n"
               "\u00dcber-check: 3 of 517 tests fail; caf\u00e9 at 12,50 \u20ac.\n"
               "\u041f\u0440\u0438\u0432\u0435\u0442, \u4f60\u597d \U0001F600 {braces} "
               "C:\\logs\\x\n\n"
               "Location: Second floor\n")
        .arg(note);
}

// Note blocks up to 10 million characters, with a pasted picture now and then.
void FillLog(QTextDocument& document) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(qRgb(40, 120, 200));
    document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("pasted:1")), image);
    QTextImageFormat picture;
    picture.setName(QStringLiteral("pasted:1"));

    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (int note = 0; document.characterCount() < kLogCharacters; ++note) {
        cursor.insertText(NoteBlock(note));
        if (note % kNotesPerPicture == 0)
            cursor.insertImage(picture);
    }
    cursor.endEditBlock();
}

struct Log {
    QTemporaryDir m_dir;
    QString m_strPath = m_dir.filePath(QStringLiteral("2026-12.rtf"));
    QTextDocument m_document;

    Log() {
        FillLog(m_document);
        QFile file(m_strPath);
        if (file.open(QIODevice::WriteOnly))
            file.write(DocumentToRtf(m_document, Face(), kHalfPoints));
    }
};

Log& SharedLog() {
    static Log log;
    return log;
}

void SetSizes(benchmark::State& state, const Log& log) {
    state.counters["text_MB"] = log.m_document.characterCount() / 1e6;
    state.counters["file_MB"] = QFile(log.m_strPath).size() / 1e6;
    state.counters["paragraphs"] = log.m_document.blockCount();
}

void SaveLog(benchmark::State& state) {
    Log& log = SharedLog();
    for (auto _ : state) {
        QFile file(log.m_strPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(DocumentToRtf(log.m_document, Face(), kHalfPoints)) < 0) {
            state.SkipWithError("cannot write the log");
            break;
        }
    }
    SetSizes(state, log);
}
BENCHMARK(SaveLog)->Unit(benchmark::kMillisecond);

void ReopenLog(benchmark::State& state) {
    Log& log = SharedLog();
    for (auto _ : state) {
        QFile file(log.m_strPath);
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("cannot read the log");
            break;
        }
        auto document = std::make_unique<QTextDocument>();
        if (!RtfToDocument(file.readAll(), *document, nullptr)) {
            state.SkipWithError("the log does not read back");
            break;
        }
        benchmark::DoNotOptimize(document->blockCount());
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
    SetSizes(state, log);
}
BENCHMARK(ReopenLog)->Unit(benchmark::kMillisecond);

// The reader alone, to tell its share of a reopen from the document's.
void ReadRtfOnly(benchmark::State& state) {
    Log& log = SharedLog();
    QFile file(log.m_strPath);
    const QByteArray rtf = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    for (auto _ : state) {
        RtfContent content;
        if (!ReadRtf(rtf, content, nullptr)) {
            state.SkipWithError("the log does not read back");
            break;
        }
        benchmark::DoNotOptimize(content.m_strText.size());
    }
    SetSizes(state, log);
}
BENCHMARK(ReadRtfOnly)->Unit(benchmark::kMillisecond);

// Qt alone putting the same text into a document: the floor under a reopen.
void SetPlainTextOfSameText(benchmark::State& state) {
    Log& log = SharedLog();
    const QString text = log.m_document.toPlainText();
    for (auto _ : state) {
        auto document = std::make_unique<QTextDocument>();
        document->setUndoRedoEnabled(false);
        document->setPlainText(text);
        benchmark::DoNotOptimize(document->blockCount());
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
    SetSizes(state, log);
}
BENCHMARK(SetPlainTextOfSameText)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks<QApplication>(argc, argv);
}
