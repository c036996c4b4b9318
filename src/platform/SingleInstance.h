#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "platform/FileLock.h"

class QLocalServer;

// One running copy per user and configuration directory. The first start holds a lock file
// beside the settings store for its whole life (the kernel drops it if the process dies, so a
// crash never blocks the next start) and listens on a local socket; a second start finds the
// lock taken, asks the first to come forward and leaves.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Primary,    // holds the lock and answers later starts
        Secondary,  // another copy runs
        Alone,      // the lock could not be made at all: carry on without a guard
    };

    explicit SingleInstance(const QString& configDirectory, QObject* parent = nullptr);
    ~SingleInstance() override;

    Role Claim();

    // From a second start: asks the first copy to come forward, and to open the files given
    // (full paths; at most kMaxFiles). Bounded by timeoutMs; true when the first copy
    // acknowledged.
    bool RequestComeForward(int timeoutMs, const QStringList& files = {});

    static constexpr int kMaxFiles = 16;

    const QString& ServerName() const { return m_serverName; }

Q_SIGNALS:
    void comeForwardRequested();
    // A later start was given these files to open (full paths), before it asked to come
    // forward.
    void openRequested(const QStringList& files);

private:
    void StartServer();
    void OnNewConnection();
    void ReadRequest(class QLocalSocket& socket);

    FileLock m_lock;
    QString m_serverName;
    QLocalServer* m_server = nullptr;
};
