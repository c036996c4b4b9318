#pragma once

// The main() of every benchmark program: a Qt application of the given kind (one with windows
// runs offscreen unless a display platform is asked for), then Google Benchmark.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <type_traits>

template <typename Application>
int RunBenchmarks(int argc, char** argv) {
    if (!std::is_same_v<Application, QCoreApplication> &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
