#pragma once

#include "shell/SoundPlayer.h"

class QThread;
class SoundWorker;

// The real player, safe to call from any thread. Sounds play on a thread of the player's own
// that holds the sound effects: an audio sink needs a running event loop, and the
// user-interface thread is blocked while a built-in sound plays.
class QtSoundPlayer : public ISoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    QtSoundPlayer(const QtSoundPlayer&) = delete;
    QtSoundPlayer& operator=(const QtSoundPlayer&) = delete;

    bool HasOutputDevice() const override;
    void PlayFile(const QString& path) override;
    // Waits at most the sound's own length plus 300 ms.
    void PlayBuiltin(quint16 id) override;
    // The system beep: Linux cannot honour frequency and duration.
    void Beep(quint32 frequency, quint32 durationMs) override;

private:
    QThread* m_thread;
    SoundWorker* m_worker;  // lives on m_thread, deleted there when it finishes
};
