#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (how a Linux session ends a program) into a Qt signal on the
// user-interface thread, through a pipe written by the signal handler.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. Call once, before anything else, so that a signal that arrives
    // during start-up waits in the pipe until a watcher exists.
    static void InstallHandlers();

    explicit SignalWatcher(QObject* parent = nullptr);

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void OnReadable();

    QSocketNotifier* m_notifier = nullptr;
};
