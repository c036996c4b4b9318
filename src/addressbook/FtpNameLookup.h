#pragma once

#include <netdb.h>
#include <netinet/in.h>

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <memory>
#include <mutex>

// From the server named in the settings to the address the FTP client connects to.
namespace FtpNameLookup {

// "name:port" with a port of 1..65535 connects to that port; any other text is all name, and
// port is 0.
void SplitHost(const QString& host, QString* name, quint16* port);
// The port of the "ftp" service, 21 where the system names none.
quint16 ServicePort();

// The first IPv4 address of a host name, once finished (result 0) or the resolver's error.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int result = EAI_SYSTEM;
    sockaddr_in address{};
};

// Looks name up at once with the resolver's flags (AI_NUMERICHOST: a dotted address only).
void Resolve(const QByteArray& name, int flags, Lookup& lookup);
// Looks name up on a thread of its own: the resolver cannot be stopped, and it may wait many
// seconds for a name server that does not answer. The thread touches nothing but the lookup,
// so a caller may give up waiting and leave it to finish. None when no thread can be started.
std::shared_ptr<Lookup> Start(const QByteArray& name);

}  // namespace FtpNameLookup
