#pragma once

#include <QString>

struct Settings;

// One sound as the program asks for it: a wave file chosen by the user, or else a built-in
// sound, with the beep that stands in for either when there is no audio output.
struct SoundSpec {
    QString m_strFilePath;            // wave file to play; empty means the built-in sound
    quint16 m_nBuiltinId = 0;         // one of BuiltinSound
    quint32 m_nBeepFrequency = 1000;  // Hz
    quint32 m_nBeepDuration = 300;    // ms
};

// The built-in sound with id N is the resource :/sounds/N.wav.
namespace BuiltinSound {
constexpr quint16 kWelcome = 200;
constexpr quint16 kLeave = 201;
constexpr quint16 kMessage = 202;
constexpr quint16 kError = 203;
}  // namespace BuiltinSound

// The four sounds of the program, each from its setting (the file path) with its built-in id,
// 1000 Hz and 300 ms.
SoundSpec WelcomeSound(const Settings& settings);
SoundSpec LeaveSound(const Settings& settings);
SoundSpec MessageSound(const Settings& settings);
SoundSpec ErrorSound(const Settings& settings);
