// The cost of appending one note block to the log, for a log of 1 MB and one of 50 MB: no step
// of an append may grow with the size of the log.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include "BenchSupport.h"
#include "app/CQuillpadApp.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadDoc.h"
#include "shell/CQuillpadView.h"
#include "shell/LogRtf.h"
#include "shell/LogViewServices.h"
#include "shell/LogWorkspace.h"
#include "shell/RtfCodec.h"
#include "shell/SoundPlayer.h"

namespace {

const QStringList kBlock = {
    QString(),
    QStringLiteral("------------------------ Incoming Message ------------------------ "),
    QString(),
    QStringLiteral("FROM: Anna Example at 09:05 PM - 12/07/26"),
    QStringLiteral("TO: Build server; Sales floor; "),
    QString(),
    QStringLiteral(
        "The nightly build failed at step 4 (unit tests). Über-check: 3 of 517 tests fail."),
    QString(),
    QStringLiteral("Location: Second floor"),
};

struct Fixture {
    QTemporaryDir dir;
    SilentSoundPlayer player;
    LogViewServices services;
    std::unique_ptr<CQuillpadApp> app;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<LogWorkspace> workspace;
    CQuillpadView* view = nullptr;

    explicit Fixture(qint64 logBytes) {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
        QFile store(dir.filePath(QStringLiteral("registry.reg")));
        store.open(QIODevice::WriteOnly);
        store.write(
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]\n\"Full "
            "Name\"=\"B\"\n");
        store.close();
        app = std::make_unique<CQuillpadApp>(store.fileName(), player, false);
        app->LoadSettings();
        frame = std::make_unique<CMainFrame>(*app);
        workspace = std::make_unique<LogWorkspace>(*app, *frame, services);
        view = workspace->ViewOf(*workspace->NewDocument());
        frame->show();
        // The log as it is at a start: read from its file.
        RtfContent content;
        const QString block = kBlock.join(QStringLiteral("\n")) + QLatin1Char('\n');
        content.m_strText.reserve(logBytes + block.size());
        while (content.m_strText.size() < logBytes)
            content.m_strText += block;
        RtfToDocument(WriteRtf(content, QStringLiteral("Times New Roman"), 20), *view->document(),
                      nullptr);
        QCoreApplication::processEvents();
    }
};

void AppendNoteBlock(benchmark::State& state) {
    Fixture fixture(state.range(0) * 1024 * 1024);
    for (auto _ : state) {
        for (const QString& line : kBlock)
            fixture.view->AppendLine(line);
        QCoreApplication::processEvents();
    }
    state.counters["log MB"] =
        static_cast<double>(fixture.view->document()->characterCount()) / (1024 * 1024);
}
BENCHMARK(AppendNoteBlock)->Arg(1)->Arg(50)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// Opening a month's log of 10 MB in a window of its own, as File Open and start-up do: reading
// the file, building the document, and the window's first display with the log's format.
void OpenLogWindow(benchmark::State& state) {
    Fixture fixture(10 * 1024 * 1024);
    const QString path = fixture.dir.filePath(QStringLiteral("big.qpd"));
    fixture.view->GetDocument().SaveTo(path, nullptr);
    for (auto _ : state) {
        CQuillpadDoc* doc = fixture.workspace->OpenDocument(path);
        QCoreApplication::processEvents();
        state.PauseTiming();
        fixture.workspace->CloseDocument(*doc);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(OpenLogWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks<QApplication>(argc, argv);
}
