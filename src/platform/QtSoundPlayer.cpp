#include "platform/QtSoundPlayer.h"

#include <QApplication>
#include <QAudioDevice>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSemaphore>
#include <QSoundEffect>
#include <QThread>
#include <QUrl>
#include <QtEndian>
#include <memory>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterSoundResources() {
    Q_INIT_RESOURCE(sounds);
}

namespace {

constexpr int kThreadStopMs = 2000;

QString BuiltinResource(quint16 id) {
    return QStringLiteral(":/sounds/%1.wav").arg(id);
}

// Playing time of a PCM wave file from its header and size, or -1 when it is none or holds no
// sound at all.
qint64 WaveDurationMs(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return -1;
    quint32 nBytesPerSecond = 0;
    while (true) {
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            return -1;
        const quint32 nSize = qFromLittleEndian<quint32>(header.constData() + 4);
        const QByteArray id = header.left(4);
        if (id == "data") {
            if (nBytesPerSecond == 0)
                return -1;
            // A cut-off file plays only what it holds.
            const qint64 nData = qMin<qint64>(nSize, file.size() - file.pos());
            return nData > 0 ? nData * 1000 / nBytesPerSecond : -1;
        }
        qint64 nSkip = static_cast<qint64>(nSize) + nSize % 2;
        if (id == "fmt ") {
            const QByteArray fmt = file.read(16);
            if (nSize < 16 || fmt.size() < 16)
                return -1;
            // PCM, float, or either in the extensible form: what the sound effect can decode.
            const quint16 nTag = qFromLittleEndian<quint16>(fmt.constData());
            if (nTag != 1 && nTag != 3 && nTag != 0xFFFE)
                return -1;
            const quint16 nChannels = qFromLittleEndian<quint16>(fmt.constData() + 2);
            const quint32 nRate = qFromLittleEndian<quint32>(fmt.constData() + 4);
            const quint16 nBits = qFromLittleEndian<quint16>(fmt.constData() + 14);
            nBytesPerSecond = nRate * nChannels * ((nBits + 7u) / 8u);
            nSkip -= 16;
        }
        if (file.skip(nSkip) != nSkip)
            return -1;
    }
}

void BeepOnUserInterfaceThread() {
    QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    if (QThread::currentThread() == app->thread())
        QApplication::beep();
    else
        QMetaObject::invokeMethod(
            app, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

}  // namespace

// Owns the sound effects; every member runs on the sound thread.
class SoundWorker : public QObject {
public:
    ~SoundWorker() override {
        ReleaseBuiltinWaiter();
        ReleaseFileWaiter();
        // A sound effect leaves its audio output to a deferred delete. The worker goes when the
        // sound thread has ended, whose event loop would never run it: the effects go here and
        // their deferred deletes are run at once, or each player leaks its outputs.
        for (QSoundEffect* effect : {m_fileEffect, m_builtinEffect}) {
            if (effect) {
                effect->disconnect(this);
                delete effect;
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void PlayFile(const QString& path) {
        ReleaseFileWaiter();
        if (!m_fileEffect) {
            m_fileEffect = new QSoundEffect(this);
            connect(m_fileEffect, &QSoundEffect::statusChanged, this, [this] {
                if (m_fileEffect->status() == QSoundEffect::Error) {
                    ReleaseFileWaiter();
                    BeepOnUserInterfaceThread();
                }
            });
            connect(m_fileEffect, &QSoundEffect::playingChanged, this, [this] {
                if (m_fileEffect->isPlaying())
                    m_bFileStarted = true;
                else if (m_bFileStarted)
                    ReleaseFileWaiter();
            });
        }
        m_bFileStarted = false;
        // Clearing the source first makes even the same file load again and report its status.
        m_fileEffect->stop();
        m_fileEffect->setSource(QUrl());
        m_fileEffect->setSource(QUrl::fromLocalFile(path));
        m_fileEffect->play();
    }

    // done is released when the file sound playing now has ended or failed, or at once when
    // none plays.
    void NotifyWhenFileEnds(std::shared_ptr<QSemaphore> done) {
        ReleaseFileWaiter();
        m_fileDone = std::move(done);
        if (!m_fileEffect || m_fileEffect->status() == QSoundEffect::Error ||
            (m_bFileStarted && !m_fileEffect->isPlaying()))
            ReleaseFileWaiter();
    }

    // done is released when the sound has ended, failed or been replaced by a later one.
    void PlayBuiltin(quint16 id, std::shared_ptr<QSemaphore> done) {
        ReleaseBuiltinWaiter();
        if (!m_builtinEffect) {
            m_builtinEffect = new QSoundEffect(this);
            connect(m_builtinEffect, &QSoundEffect::playingChanged, this,
                    &SoundWorker::OnBuiltinPlayingChanged);
            connect(m_builtinEffect, &QSoundEffect::statusChanged, this,
                    &SoundWorker::OnBuiltinStatusChanged);
        }
        m_builtinEffect->stop();
        m_builtinEffect->setSource(QUrl(QStringLiteral("qrc") + BuiltinResource(id)));
        m_builtinDone = std::move(done);
        m_bBuiltinStarted = false;
        m_builtinEffect->play();
        OnBuiltinStatusChanged();
    }

private:
    void OnBuiltinPlayingChanged() {
        if (m_builtinEffect->isPlaying())
            m_bBuiltinStarted = true;
        else if (m_bBuiltinStarted)
            ReleaseBuiltinWaiter();
    }

    void OnBuiltinStatusChanged() {
        if (m_builtinEffect->status() == QSoundEffect::Error)
            ReleaseBuiltinWaiter();
    }

    void ReleaseBuiltinWaiter() {
        if (m_builtinDone)
            m_builtinDone->release();
        m_builtinDone.reset();
    }

    void ReleaseFileWaiter() {
        if (m_fileDone)
            m_fileDone->release();
        m_fileDone.reset();
    }

    QSoundEffect* m_fileEffect = nullptr;
    QSoundEffect* m_builtinEffect = nullptr;
    std::shared_ptr<QSemaphore> m_builtinDone;
    bool m_bBuiltinStarted = false;
    std::shared_ptr<QSemaphore> m_fileDone;
    bool m_bFileStarted = false;
};

QtSoundPlayer::QtSoundPlayer() : m_thread(new QThread), m_worker(new SoundWorker) {
    [[maybe_unused]] static const bool bRegistered = [] {
        RegisterSoundResources();
        return true;
    }();
    // The audio backend belongs to the thread that first asks for devices: let that be this
    // one, not the sound thread, which ends with the player.
    HasOutputDevice();
    m_thread->setObjectName(QStringLiteral("QuillpadSound"));
    m_worker->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

QtSoundPlayer::~QtSoundPlayer() {
    m_thread->quit();
    if (m_thread->wait(QDeadlineTimer(kThreadStopMs))) {
        delete m_thread;
        return;
    }
    // Stuck in the audio system: leave the thread behind rather than destroy it while it runs.
    qWarning("Sound thread did not stop within %d ms", kThreadStopMs);
}

bool QtSoundPlayer::HasOutputDevice() const {
    return !QMediaDevices::audioOutputs().isEmpty();
}

void QtSoundPlayer::PlayFile(const QString& path) {
    // Only PCM waves reach the sound effect: anything else leaves the sample cache behind it
    // waiting for good, and every later sound with it.
    const qint64 nLengthMs = QFileInfo(path).isFile() ? WaveDurationMs(path) : -1;
    if (nLengthMs < 0) {
        BeepOnUserInterfaceThread();
        return;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_fileEnd = QDeadlineTimer(qMin<qint64>(nLengthMs, kMaxFileWaitMs) + kMarginMs);
    }
    SoundWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, path] { worker->PlayFile(path); }, Qt::QueuedConnection);
}

void QtSoundPlayer::WaitForEnd() {
    QDeadlineTimer end;
    {
        QMutexLocker lock(&m_mutex);
        end = m_fileEnd;
    }
    if (end.hasExpired())
        return;
    auto done = std::make_shared<QSemaphore>();
    SoundWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, done] { worker->NotifyWhenFileEnds(done); }, Qt::QueuedConnection);
    done->tryAcquire(1, static_cast<int>(end.remainingTime()));
}

// A built-in sound never holds the caller up longer than its own length and the margin.
void QtSoundPlayer::PlayBuiltin(quint16 id) {
    const qint64 nLengthMs = WaveDurationMs(BuiltinResource(id));
    if (nLengthMs < 0)
        return;
    auto done = std::make_shared<QSemaphore>();
    SoundWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, id, done] { worker->PlayBuiltin(id, done); }, Qt::QueuedConnection);
    done->tryAcquire(1, static_cast<int>(nLengthMs + kMarginMs));
}

void QtSoundPlayer::Beep(quint32 /*frequency*/, quint32 /*durationMs*/) {
    BeepOnUserInterfaceThread();
}
