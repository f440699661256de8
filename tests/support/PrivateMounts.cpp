#include "support/PrivateMounts.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>

namespace m2::test {

namespace {

bool writeText(const char* path, const char* text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const auto length = static_cast<ssize_t>(std::strlen(text));
    const bool written = ::write(fd, text, static_cast<std::size_t>(length)) == length;
    ::close(fd);
    return written;
}

bool enterNamespace(const char* uidMap, const char* gidMap) {
    return ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 &&
           writeText("/proc/self/setgroups", "deny") && writeText("/proc/self/uid_map", uidMap) &&
           writeText("/proc/self/gid_map", gidMap) &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// The namespace's capabilities in effect on the calling thread: only the mount privilege,
// or none. They stay permitted, so a later mount can take the privilege up again.
bool setMountPrivilege(bool inEffect) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    data[0].effective = inEffect ? (data[0].permitted & (1U << CAP_SYS_ADMIN)) : 0;
    data[1].effective = 0;
    return ::syscall(SYS_capset, &header, data) == 0;
}

int threadCount() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Threads:") {
            int count = 0;
            status >> count;
            return count;
        }
    }
    return 0;
}

enum class Mounting { untried, asRoot, inNamespace, unavailable };

std::mutex stateMutex;
Mounting state = Mounting::untried;
std::string unavailableReason;

Mounting mounting() {
    const std::lock_guard<std::mutex> lock(stateMutex);
    if (state != Mounting::untried) {
        return state;
    }
    if (::geteuid() == 0) {
        state = Mounting::asRoot;
        return state;
    }
    // A user namespace takes only a process of one thread.
    if (threadCount() > 1) {
        unavailableReason = "the test process already runs other threads";
        state = Mounting::unavailable;
        return state;
    }
    const std::string uidMap = ownUidMap();
    const std::string gidMap = ownGidMap();
    if (!enterNamespace(uidMap.c_str(), gidMap.c_str())) {
        unavailableReason =
            std::string("no private user and mount namespace here (") + std::strerror(errno) + ")";
        state = Mounting::unavailable;
    } else if (!setMountPrivilege(false)) {
        unavailableReason = "the namespace's capabilities could not be put out of effect";
        state = Mounting::unavailable;
    } else {
        state = Mounting::inNamespace;
    }
    return state;
}

// Runs one mount system call with the privilege taken up around it, errno kept.
template <typename Call>
int withMountPrivilege(Call call) {
    switch (mounting()) {
        case Mounting::asRoot:
            return call();
        case Mounting::inNamespace: {
            if (!setMountPrivilege(true)) {
                return -1;
            }
            const int answer = call();
            const int error = errno;
            (void)setMountPrivilege(false);
            errno = error;
            return answer;
        }
        default:
            errno = EPERM;
            return -1;
    }
}

}  // namespace

bool privateMountsAvailable(std::string* why) {
    const Mounting now = mounting();
    if (now == Mounting::unavailable && why != nullptr) {
        const std::lock_guard<std::mutex> lock(stateMutex);
        *why = unavailableReason;
    }
    return now != Mounting::unavailable;
}

int privilegedMount(const char* source, const char* target, const char* type, unsigned long flags,
                    const char* options) {
    return withMountPrivilege([&] { return ::mount(source, target, type, flags, options); });
}

int privilegedUnmount(const char* target, int flags) {
    return withMountPrivilege([&] { return ::umount2(target, flags); });
}

bool enterPrivateMountsInChild(const char* uidMap, const char* gidMap) {
    return enterNamespace(uidMap, gidMap);
}

std::string ownUidMap() {
    const std::string uid = std::to_string(::getuid());
    return uid + " " + uid + " 1\n";
}

std::string ownGidMap() {
    const std::string gid = std::to_string(::getgid());
    return gid + " " + gid + " 1\n";
}

}  // namespace m2::test
