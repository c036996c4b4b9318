#pragma once

// Loads of notes and checks sent into the receiving copy of a benchmark by flood_sender, a
// process of its own, while this thread serves the copy.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>

#include "ReceivingCopy.h"

namespace {

struct Load {
    int m_nNoteSenders = 20;
    int m_nNotesEach = 50;
    int m_nCheckSenders = 1;
    int m_nChecksEach = 0;  // 0: one check every 100 ms until the notes are in
};

struct LoadResult {
    double m_seconds = 0;
    double m_slowestCheckMs = 0;
    double m_slowestAnswerMs = 0;
    int m_nChecksAnswered = 0;
    int m_nNotesSent = 0;
};

// Sends load into receiver from a sender process while this thread serves it; returns once
// every sender is done and every note is whole.
inline LoadResult SendLoad(Receiver& receiver, const Load& load) {
    const int notes = load.m_nNoteSenders * load.m_nNotesEach;
    const int before = receiver.shown;
    LoadResult result;
    QProcess senders;
    bool notesSent = false;
    QByteArray output;
    QObject::connect(&senders, &QProcess::readyReadStandardOutput, &senders, [&] {
        output += senders.readAllStandardOutput();
        notesSent = notesSent || output.contains("notes-sent\n");
    });
    senders.start(QStringLiteral(FLOOD_SENDER),
                  {QString::number(receiver.port), QString::number(load.m_nNoteSenders),
                   QString::number(load.m_nNotesEach), QString::number(load.m_nCheckSenders),
                   QString::number(load.m_nChecksEach)});
    // Timed from the moment the senders, started and ready, are told to go.
    const QDeadlineTimer ready(30000);
    while (!output.contains("ready\n") && senders.state() != QProcess::NotRunning &&
           !ready.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QElapsedTimer clock;
    clock.start();
    senders.write("go\n");
    const QDeadlineTimer deadline(notes * 60 + 30000);
    while ((receiver.shown - before < notes || !notesSent) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    result.m_seconds = clock.nsecsElapsed() / 1e9;
    senders.write("done\n");
    senders.closeWriteChannel();
    while (senders.state() != QProcess::NotRunning && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (senders.state() != QProcess::NotRunning) {
        senders.kill();
        senders.waitForFinished(5000);
    }
    output += senders.readAllStandardOutput();
    // "sent=N checks=N slowestAnswerMs=X slowestCheckMs=Y"
    QHash<QByteArray, double> figures;
    for (const QByteArray& pair : output.trimmed().split('\n').constLast().split(' ')) {
        const qsizetype equals = pair.indexOf('=');
        if (equals > 0)
            figures.insert(pair.left(equals), pair.mid(equals + 1).toDouble());
    }
    result.m_nNotesSent = static_cast<int>(figures.value("sent"));
    result.m_nChecksAnswered = static_cast<int>(figures.value("checks"));
    result.m_slowestAnswerMs = figures.value("slowestAnswerMs");
    result.m_slowestCheckMs = figures.value("slowestCheckMs");
    return result;
}

}  // namespace
