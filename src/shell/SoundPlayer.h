#pragma once

#include <QString>

#include "shell/SoundSpec.h"

// What the program needs of a sound device; tests put a recorder in its place. Every operation
// may be called from any thread.
class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    // Some audio output exists.
    virtual bool HasOutputDevice() const = 0;
    // Starts playing a wave file and returns at once; a later sound replaces one still playing.
    // A file that cannot be found or played gives the default sound (a beep).
    virtual void PlayFile(const QString& path) = 0;
    // Plays built-in sound id and returns when it has ended.
    virtual void PlayBuiltin(quint16 id) = 0;
    virtual void Beep(quint32 frequency, quint32 durationMs) = 0;
    // Returns once the wave file started last has ended, at most its length and a short
    // margin after it was started: the program's end must not cut off its Leave sound.
    virtual void WaitForEnd() {}
};

// No output device: beep with the sound's frequency and duration. Otherwise a file path plays
// that file without waiting; otherwise the built-in sound plays to its end. Keeps no state, so
// the user-interface thread and worker threads may call it at the same time.
void PlayNotificationSound(const SoundSpec& spec, ISoundPlayer& player);
