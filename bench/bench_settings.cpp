// How long the settings take to load at start-up: from a complete store (every start after
// the first) and from an empty one (the first start, which writes every default section).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "app/Settings.h"
#include "platform/RegistryStore.h"

namespace {

void LoadFromCompleteStore(benchmark::State& state) {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    const RegistryStore store(dir.filePath(QStringLiteral("registry.reg")));
    Settings first;
    LoadSettings(first, store, {});
    for (auto _ : state) {
        Settings settings;
        LoadSettings(settings, store, {});
        benchmark::DoNotOptimize(settings.m_nPort);
    }
}
BENCHMARK(LoadFromCompleteStore)->Unit(benchmark::kMillisecond);

void LoadFromEmptyStore(benchmark::State& state) {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    int run = 0;
    for (auto _ : state) {
        const RegistryStore store(dir.filePath(QStringLiteral("%1/registry.reg").arg(run++)));
        Settings settings;
        LoadSettings(settings, store, {});
        benchmark::DoNotOptimize(settings.m_nPort);
    }
}
BENCHMARK(LoadFromEmptyStore)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks<QCoreApplication>(argc, argv);
}
