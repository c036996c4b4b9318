#pragma once

// What every benchmark program shares: its main(), and a sound player that plays nothing.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <type_traits>

#include "platform/OpenFiles.h"
#include "shell/SoundPlayer.h"

// A Qt application of the given kind (one with windows runs offscreen unless a display platform
// is asked for), then Google Benchmark.
template <typename Application>
int RunBenchmarks(int argc, char** argv) {
    if (!std::is_same_v<Application, QCoreApplication> &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    OpenFiles::RaiseLimit(OpenFiles::kWantedByProgram);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

class SilentSoundPlayer : public ISoundPlayer {
public:
    bool HasOutputDevice() const override { return false; }
    void PlayFile(const QString&) override {}
    void PlayBuiltin(quint16) override {}
    void Beep(quint32, quint32) override {}
};
