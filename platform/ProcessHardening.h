#pragma once

namespace m2::platform {

// Keeps the program's memory, where the master password, file keys and open notes live, to
// itself: no core file is written when it crashes (RLIMIT_CORE 0), and it is not dumpable, so
// another process of the same user can neither attach to it nor read /proc/<pid>/mem. Called
// first thing in main, before any secret is read. False when either step failed.
[[nodiscard]] bool protectProcessMemory();

}  // namespace m2::platform
