#pragma once

#include <string>

namespace m2::test {

// Mounts for tests (a small tmpfs, a read-only one, a bind mount) without root: the process
// moves into a user and mount namespace of its own, where it maps only its own user and
// group. It keeps the namespace's capabilities out of effect except around each mount call,
// so permission bits hold for it as for any user. Root mounts directly.

// Makes the calling process able to mount, once; answers false with the reason in `why`
// (the kernel refuses user namespaces, or the process already runs other threads).
[[nodiscard]] bool privateMountsAvailable(std::string* why = nullptr);

// mount(2) and umount2(2) with the mount privilege in effect for this call only; errno as
// they leave it.
[[nodiscard]] int privilegedMount(const char* source, const char* target, const char* type,
                                  unsigned long flags, const char* options);
[[nodiscard]] int privilegedUnmount(const char* target, int flags);

// For a child between fork and exec (system calls only): a user and mount namespace of its
// own, mapping `uid` and `gid` (the parent's, read before the fork), with mounts private to
// it. Its capabilities end at exec, as an unprivileged user's do. Answers false on failure.
[[nodiscard]] bool enterPrivateMountsInChild(const char* uidMap, const char* gidMap);

// The map lines enterPrivateMountsInChild needs for the calling process's user and group.
[[nodiscard]] std::string ownUidMap();
[[nodiscard]] std::string ownGidMap();

}  // namespace m2::test
