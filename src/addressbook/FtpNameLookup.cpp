#include "addressbook/FtpNameLookup.h"

#include <netdb.h>
#include <pthread.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>
#include <thread>

namespace FtpNameLookup {

namespace {
constexpr quint16 kFallbackPort = 21;
}  // namespace

void SplitHost(const QString& host, QString* name, quint16* port) {
    *name = host;
    *port = 0;
    const qsizetype colon = host.lastIndexOf(u':');
    if (colon <= 0)
        return;
    const QStringView digits = QStringView(host).mid(colon + 1);
    if (digits.isEmpty() ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); }))
        return;
    bool ok = false;
    const uint value = digits.toUInt(&ok);
    if (!ok || value < 1 || value > 65535)
        return;
    *name = host.left(colon);
    *port = static_cast<quint16>(value);
}

quint16 ServicePort() {
    servent entry{};
    servent* found = nullptr;
    std::array<char, 1024> scratch{};
    if (::getservbyname_r("ftp", "tcp", &entry, scratch.data(), scratch.size(), &found) == 0 &&
        found)
        return ntohs(static_cast<uint16_t>(found->s_port));
    return kFallbackPort;
}

void Resolve(const QByteArray& name, int flags, Lookup& lookup) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(name.constData(), nullptr, &hints, &found);
    lookup.result = result != 0 ? result : found ? 0 : EAI_NONAME;
    if (lookup.result == 0)
        std::memcpy(&lookup.address, found->ai_addr,
                    std::min<size_t>(found->ai_addrlen, sizeof lookup.address));
    if (found)
        ::freeaddrinfo(found);
}

std::shared_ptr<Lookup> Start(const QByteArray& name) {
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, name] {
            ::pthread_setname_np(::pthread_self(), "QuillpadLookup");
            Lookup found;
            Resolve(name, 0, found);
            const std::lock_guard lock(lookup->mutex);
            lookup->result = found.result;
            lookup->address = found.address;
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    return lookup;
}

}  // namespace FtpNameLookup
