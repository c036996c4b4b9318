#pragma once

// File permissions for a test that runs as root: the permission bits stop root only once the
// calling thread has dropped the capabilities that override them.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>

// Runs work on this thread as the permission bits would treat an ordinary owner: a directory
// without write permission takes no new file. Other threads keep their capabilities.
inline void AsOrdinaryUser(const std::function<void()>& work) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[_LINUX_CAPABILITY_U32S_3] = {};
    const bool dropped = ::syscall(SYS_capget, &header, saved) == 0 && [&] {
        __user_cap_data_struct lowered[_LINUX_CAPABILITY_U32S_3] = {saved[0], saved[1]};
        lowered[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        return ::syscall(SYS_capset, &header, lowered) == 0;
    }();
    work();
    if (dropped)
        ::syscall(SYS_capset, &header, saved);
}
