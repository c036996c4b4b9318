#pragma once

#include <QDeadlineTimer>
#include <QMutex>

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
    // Waits for the sound's end, at most its own length plus kMarginMs (an audio output
    // takes a moment to start).
    void PlayBuiltin(quint16 id) override;
    // The system beep: Linux cannot honour frequency and duration.
    void Beep(quint32 frequency, quint32 durationMs) override;
    void WaitForEnd() override;

    static constexpr int kMarginMs = 300;
    // A long wave file chosen as the Leave sound does not hold up the end of a session longer.
    static constexpr int kMaxFileWaitMs = 10000;

private:
    QThread* m_thread;
    SoundWorker* m_worker;  // lives on m_thread, deleted there when it finishes
    QMutex m_mutex;
    QDeadlineTimer m_fileEnd;  // when the last file sound has surely ended
};
