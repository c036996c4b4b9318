#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include "shell/SoundPlayer.h"

// Stands in for the sound device: records every call as a line ("beep 1000 300",
// "file /x.wav", "builtin 202", "wait") and answers HasOutputDevice as told. Safe from any
// thread.
class RecordingSoundPlayer : public ISoundPlayer {
public:
    explicit RecordingSoundPlayer(bool hasOutputDevice = true)
        : m_bHasOutputDevice(hasOutputDevice) {}

    void SetHasOutputDevice(bool hasOutputDevice) {
        QMutexLocker lock(&m_mutex);
        m_bHasOutputDevice = hasOutputDevice;
    }
    QStringList Calls() const {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    void Clear() {
        QMutexLocker lock(&m_mutex);
        m_calls.clear();
    }

    bool HasOutputDevice() const override {
        QMutexLocker lock(&m_mutex);
        return m_bHasOutputDevice;
    }
    void PlayFile(const QString& path) override { Record(QStringLiteral("file ") + path); }
    void PlayBuiltin(quint16 id) override { Record(QStringLiteral("builtin %1").arg(id)); }
    void Beep(quint32 frequency, quint32 durationMs) override {
        Record(QStringLiteral("beep %1 %2").arg(frequency).arg(durationMs));
    }
    void WaitForEnd() override { Record(QStringLiteral("wait")); }

private:
    void Record(const QString& call) {
        QMutexLocker lock(&m_mutex);
        m_calls.append(call);
    }

    mutable QMutex m_mutex;
    bool m_bHasOutputDevice;
    QStringList m_calls;
};
