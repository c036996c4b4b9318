#include "platform/OpenFiles.h"

#include <sys/resource.h>

#include <algorithm>
#include <limits>

namespace OpenFiles {

namespace {

int AsInt(rlim_t value) {
    if (value == RLIM_INFINITY || value > static_cast<rlim_t>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

}  // namespace

int Limit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;  // the usual default
    return AsInt(limit.rlim_cur);
}

int RaiseLimit(int wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return Limit();
    const rlim_t target =
        std::min<rlim_t>(static_cast<rlim_t>(std::max(wanted, 0)), limit.rlim_max);
    if (limit.rlim_cur != RLIM_INFINITY && target > limit.rlim_cur) {
        limit.rlim_cur = target;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    return Limit();
}

}  // namespace OpenFiles
