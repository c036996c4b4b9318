#include <QtTest>
#include <atomic>
#include <thread>

#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "app/Settings.h"
#include "platform/QtSoundPlayer.h"
#include "shell/SoundPlayer.h"
#include "shell/SoundSpec.h"

class TestSoundPlayer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void notificationPicksBeepFileOrBuiltin_data();
    void notificationPicksBeepFileOrBuiltin();
    void builtinSoundsAreShortQuietWaves_data();
    void builtinSoundsAreShortQuietWaves();
    void sameAnswerFromAnyThread();
    void playBuiltinWaitsForItsEndWithinItsBound_data();
    void playBuiltinWaitsForItsEndWithinItsBound();
    void waitForEndLetsAFileSoundFinish_data();
    void waitForEndLetsAFileSoundFinish();
    void playFileReturnsAtOnce_data();
    void playFileReturnsAtOnce();
    void usableFromWorkerThreadAndStopsPromptly();
};

void TestSoundPlayer::initTestCase() {
    // The resources are in a static library: constructing a player is what registers them.
    const QtSoundPlayer player;
}

void TestSoundPlayer::notificationPicksBeepFileOrBuiltin_data() {
    QTest::addColumn<bool>("hasDevice");
    QTest::addColumn<QStringList>("paths");  // welcome, leave, message, error
    QTest::addColumn<QStringList>("calls");

    const QStringList none(4);
    const QStringList all = {QStringLiteral("/s/w.wav"), QStringLiteral("/s/l.wav"),
                             QStringLiteral("/s/m.wav"), QStringLiteral("/s/e.wav")};
    const QStringList some = {QString(), QStringLiteral("/s/l.wav"), QStringLiteral("/s/m.wav"),
                              QString()};
    const QStringList beeps(4, QStringLiteral("beep 1000 300"));

    QTest::newRow("no device, no paths") << false << none << beeps;
    QTest::newRow("no device, every path") << false << all << beeps;
    QTest::newRow("device, no paths")
        << true << none
        << QStringList{QStringLiteral("builtin 200"), QStringLiteral("builtin 201"),
                       QStringLiteral("builtin 202"), QStringLiteral("builtin 203")};
    QTest::newRow("device, every path")
        << true << all
        << QStringList{QStringLiteral("file /s/w.wav"), QStringLiteral("file /s/l.wav"),
                       QStringLiteral("file /s/m.wav"), QStringLiteral("file /s/e.wav")};
    QTest::newRow("device, some paths")
        << true << some
        << QStringList{QStringLiteral("builtin 200"), QStringLiteral("file /s/l.wav"),
                       QStringLiteral("file /s/m.wav"), QStringLiteral("builtin 203")};
}

void TestSoundPlayer::notificationPicksBeepFileOrBuiltin() {
    QFETCH(bool, hasDevice);
    QFETCH(QStringList, paths);
    QFETCH(QStringList, calls);

    Settings settings;
    settings.m_strWelcomeSound = paths[0];
    settings.m_strLeaveSound = paths[1];
    settings.m_strMessageSound = paths[2];
    settings.m_strErrorSound = paths[3];
    RecordingSoundPlayer player(hasDevice);
    for (const SoundSpec& spec : {WelcomeSound(settings), LeaveSound(settings),
                                  MessageSound(settings), ErrorSound(settings)})
        PlayNotificationSound(spec, player);
    QCOMPARE(player.Calls(), calls);
}

void TestSoundPlayer::builtinSoundsAreShortQuietWaves_data() {
    QTest::addColumn<quint16>("id");
    QTest::addColumn<int>("lengthMs");
    QTest::newRow("welcome") << BuiltinSound::kWelcome << 1230;
    QTest::newRow("leave") << BuiltinSound::kLeave << 1250;
    QTest::newRow("message") << BuiltinSound::kMessage << 890;
    QTest::newRow("error") << BuiltinSound::kError << 450;
}

void TestSoundPlayer::builtinSoundsAreShortQuietWaves() {
    QFETCH(quint16, id);
    QFETCH(int, lengthMs);

    QFile file(QStringLiteral(":/sounds/%1.wav").arg(id));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QByteArray bytes = file.readAll();
    const auto u16 = [&bytes](int at) {
        return qFromLittleEndian<quint16>(bytes.constData() + at);
    };
    const auto u32 = [&bytes](int at) {
        return qFromLittleEndian<quint32>(bytes.constData() + at);
    };
    // The canonical layout: RIFF header, a 16-byte format chunk, then the data chunk.
    QVERIFY(bytes.size() > 44);
    QCOMPARE(bytes.left(4), QByteArray("RIFF"));
    QCOMPARE(u32(4), quint32(bytes.size() - 8));
    QCOMPARE(bytes.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(u16(20), quint16(1));  // PCM
    QCOMPARE(u16(22), quint16(1));  // mono
    QCOMPARE(u32(24), quint32(22050));
    QCOMPARE(u16(34), quint16(8));
    QCOMPARE(bytes.mid(36, 4), QByteArray("data"));
    const quint32 nDataBytes = u32(40);
    QVERIFY(44 + nDataBytes <= quint32(bytes.size()));
    QVERIFY(qAbs(nDataBytes * 1000.0 / 22050 - lengthMs) <= 1.0);

    // Silence at both ends (no click), audible, and well clear of clipping.
    const auto level = [&bytes](qsizetype i) { return qAbs(quint8(bytes[44 + i]) - 128); };
    QVERIFY(level(0) <= 2);
    QVERIFY(level(nDataBytes - 1) <= 2);
    int nPeak = 0;
    for (qsizetype i = 0; i < nDataBytes; ++i)
        nPeak = qMax(nPeak, level(i));
    QVERIFY2(nPeak >= 20 && nPeak <= 100, qPrintable(QString::number(nPeak)));
}

void TestSoundPlayer::sameAnswerFromAnyThread() {
    // Whether or not this machine has sound, the user-interface thread and a worker (a Send run
    // plays its Error sound there) see the same: the audio backend is not tied to one thread.
    QtSoundPlayer player;
    const bool here = player.HasOutputDevice();
    bool there = !here;
    std::thread worker([&] { there = player.HasOutputDevice(); });
    worker.join();
    QCOMPARE(there, here);
}

void TestSoundPlayer::playBuiltinWaitsForItsEndWithinItsBound_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("lengthMs");
    QTest::newRow("message") << int(BuiltinSound::kMessage) << 890;
    QTest::newRow("error") << int(BuiltinSound::kError) << 450;
    QTest::newRow("unknown id") << 204 << 0;
}

void TestSoundPlayer::playBuiltinWaitsForItsEndWithinItsBound() {
    QFETCH(int, id);
    QFETCH(int, lengthMs);

    QtSoundPlayer player;
    QElapsedTimer timer;
    timer.start();
    player.PlayBuiltin(quint16(id));
    const qint64 elapsed = timer.elapsed();
    const int bound = lengthMs ? lengthMs + QtSoundPlayer::kMarginMs : 0;
    QVERIFY2(elapsed < bound + 200, qPrintable(QString::number(elapsed)));
    // Heard whole: an output takes a moment to start, so the nominal length alone cut the end
    // off. Without an output no end is ever reported, and the whole bound passes.
    const int atLeast = player.HasOutputDevice() ? lengthMs - 50 : bound - 20;
    QVERIFY2(elapsed >= atLeast, qPrintable(QString::number(elapsed)));
}

void TestSoundPlayer::waitForEndLetsAFileSoundFinish_data() {
    QTest::addColumn<QByteArray>("broken");
    QFile leave(QStringLiteral(":/sounds/201.wav"));
    QVERIFY(leave.open(QIODevice::ReadOnly));
    const QByteArray wave = leave.readAll();
    QByteArray adpcm = wave;
    adpcm[20] = 2;  // a compressed format the sound effect cannot decode
    QTest::newRow("text") << QByteArray("not a wave");
    QTest::newRow("compressed wave") << adpcm;
    QTest::newRow("header only") << wave.left(44);
}

void TestSoundPlayer::waitForEndLetsAFileSoundFinish() {
    QFETCH(QByteArray, broken);
    QTemporaryDir dir;
    const QString wave = dir.filePath(QStringLiteral("leave.wav"));
    QFile::copy(QStringLiteral(":/sounds/201.wav"), wave);
    const QString bad = dir.filePath(QStringLiteral("bad.wav"));
    WriteWholeFile(bad, broken);
    const int lengthMs = 1250;

    auto player = std::make_unique<QtSoundPlayer>();
    QElapsedTimer timer;
    timer.start();
    player->WaitForEnd();  // nothing plays
    QVERIFY(timer.elapsed() < TestTime(100));
    // A file the sound effect cannot play gives the beep; it must not wedge the sounds after it.
    player->PlayFile(bad);
    player->WaitForEnd();
    QVERIFY(timer.elapsed() < TestTime(100));

    timer.restart();
    player->PlayFile(wave);
    player->WaitForEnd();
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed < lengthMs + QtSoundPlayer::kMarginMs + 200,
             qPrintable(QString::number(elapsed)));
    const int atLeast =
        player->HasOutputDevice() ? lengthMs - 50 : lengthMs + QtSoundPlayer::kMarginMs - 20;
    QVERIFY2(elapsed >= atLeast, qPrintable(QString::number(elapsed)));
    // Once it has ended there is nothing more to wait for, and the player stops promptly.
    timer.restart();
    player->WaitForEnd();
    QVERIFY(timer.elapsed() < TestTime(100));
    player.reset();
    QVERIFY2(timer.elapsed() < TestTime(1000), qPrintable(QString::number(timer.elapsed())));
}

void TestSoundPlayer::playFileReturnsAtOnce_data() {
    QTest::addColumn<QByteArray>("content");  // empty: no such file
    QTest::newRow("missing file") << QByteArray();
    QTest::newRow("not a wave") << QByteArray("this is not a wave file\n");
    QFile message(QStringLiteral(":/sounds/202.wav"));
    QVERIFY(message.open(QIODevice::ReadOnly));
    QTest::newRow("wave file") << message.readAll();
}

void TestSoundPlayer::playFileReturnsAtOnce() {
    QFETCH(QByteArray, content);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sound.wav"));
    if (!content.isEmpty())
        WriteWholeFile(path, content);
    QtSoundPlayer player;
    QElapsedTimer timer;
    timer.start();
    player.PlayFile(path);
    player.PlayFile(path);  // the same sound again replaces the first
    QVERIFY2(timer.elapsed() < TestTime(100), qPrintable(QString::number(timer.elapsed())));
    // Let the sound thread and the queued beep run, then the player must still answer.
    QTest::qWait(300);
    timer.restart();
    player.PlayBuiltin(BuiltinSound::kError);
    QVERIFY(timer.elapsed() < 450 + QtSoundPlayer::kMarginMs + 200);
}

void TestSoundPlayer::usableFromWorkerThreadAndStopsPromptly() {
    auto player = std::make_unique<QtSoundPlayer>();
    std::atomic<bool> bDone = false;
    std::atomic<qint64> nWorkerMs = -1;
    std::thread worker([&] {
        QElapsedTimer timer;
        timer.start();
        player->HasOutputDevice();
        player->Beep(1000, 300);
        player->PlayFile(QStringLiteral("/nonexistent/sound.wav"));
        player->PlayBuiltin(BuiltinSound::kMessage);
        nWorkerMs = timer.elapsed();
        bDone = true;
    });
    // The user-interface thread blocks in its own built-in sound meanwhile, then runs events.
    QElapsedTimer timer;
    timer.start();
    player->PlayBuiltin(BuiltinSound::kError);
    QVERIFY(timer.elapsed() < 450 + QtSoundPlayer::kMarginMs + 200);
    const bool bFinished = WaitFor([&] { return bDone.load(); }, 5000);
    worker.join();
    QVERIFY(bFinished);
    QVERIFY2(nWorkerMs < 890 + QtSoundPlayer::kMarginMs + 300,
             qPrintable(QString::number(nWorkerMs)));

    timer.restart();
    player.reset();
    QVERIFY2(timer.elapsed() < TestTime(1000), qPrintable(QString::number(timer.elapsed())));
}

QUILLPAD_TEST_GUI_MAIN(TestSoundPlayer)
#include "TestSoundPlayer.moc"
