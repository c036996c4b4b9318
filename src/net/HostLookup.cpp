#include "net/HostLookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <QUrl>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr int kWaitSliceMs = 100;

// What a look-up thread and its caller share; the thread may outlive the caller's wait.
struct Lookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    QList<QHostAddress> addresses;
};

void Resolve(const QByteArray& name, const std::shared_ptr<Lookup>& lookup) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    QList<QHostAddress> addresses;
    if (::getaddrinfo(name.constData(), nullptr, &hints, &results) == 0) {
        for (const addrinfo* result = results; result; result = result->ai_next) {
            const QHostAddress address(result->ai_addr);
            if (!address.isNull() && !addresses.contains(address))
                addresses.append(address);
        }
        ::freeaddrinfo(results);
    }
    const std::lock_guard lock(lookup->mutex);
    lookup->addresses = std::move(addresses);
    lookup->done = true;
    lookup->finished.notify_all();
}

}  // namespace

std::optional<QList<QHostAddress>> LookUpHost(const QString& host, const QDeadlineTimer& deadline,
                                              const std::function<bool()>& cancelled) {
    const QHostAddress literal(host);
    if (!literal.isNull())
        return QList<QHostAddress>{literal};
    const QByteArray name = QUrl::toAce(host);
    if (name.isEmpty() || name.contains('\0'))
        return std::nullopt;

    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([name, lookup] { Resolve(name, lookup); }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;  // no thread to be had: as if the name had no address
    }
    std::unique_lock lock(lookup->mutex);
    while (!lookup->done) {
        if (deadline.hasExpired() || (cancelled && cancelled()))
            return std::nullopt;
        const qint64 slice = deadline.isForever()
                                 ? kWaitSliceMs
                                 : qMin<qint64>(deadline.remainingTime(), kWaitSliceMs);
        lookup->finished.wait_for(lock, std::chrono::milliseconds(qMax<qint64>(slice, 1)));
    }
    if (lookup->addresses.isEmpty())
        return std::nullopt;
    return lookup->addresses;
}
