#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "Sealkit/Cryptography/Secret.h"

namespace m2::platform {

// The launcher's executable name, beside the main program or in its install folder.
inline constexpr const char* kLauncherName = "m2-launcher";

// The launcher in the only trusted places: beside the running program (its resolved path),
// else where `cmake --install` puts it relative to the program (the same layout under any
// prefix), else in the install folder chosen when the program was built. Never PATH, the working
// folder or an environment variable: the program found receives the master password.
[[nodiscard]] std::optional<std::filesystem::path> findLauncher();

// The same search over given folders: the program's own, then `fromProgramFolder` taken
// from it (a relative path such as "../libexec/morvane2"), then the install folder. A
// candidate counts when it is an executable regular file (a link to one is followed).
[[nodiscard]] std::optional<std::filesystem::path> findLauncherIn(
    const std::filesystem::path& programFolder, const std::filesystem::path& installFolder,
    const std::filesystem::path& fromProgramFolder = {});

// The launcher's one argument: the document path, then ",-,hint". The password's place holds
// "-" (never a real password: those have six characters at least); the password itself
// comes on the launcher's standard input.
[[nodiscard]] std::string launcherArgument(const std::string& documentPath);

// A launcher start: the launcher's process id, or why it did not start or did not get the
// password (the launcher may then be running without it, and will say so itself).
struct [[nodiscard]] LaunchResult {
    pid_t pid = -1;
    int error = 0;        // errno
    std::string message;  // one sentence for the user; empty on success

    [[nodiscard]] bool ok() const { return error == 0; }
    explicit operator bool() const { return ok(); }
};

// Starts `launcher` without a shell, argv {launcher, launcherArgument(documentPath)}, in a
// session of its own so it outlives this program and its terminal; writes the password to
// its standard input through a pipe that is closed before this returns. The launcher is
// reaped in the background and never stopped by this program.
LaunchResult startLauncher(const std::filesystem::path& launcher, const std::string& documentPath,
                           std::string_view password);

// The launcher's side of the hand-over: the password written to `fd` (its standard input)
// up to the end of input. std::nullopt when `fd` is a terminal (started by hand: nothing to
// wait for) or cannot be read; at most `limit` bytes are taken.
[[nodiscard]] std::optional<Morvane::Security::Secret> readLauncherPassword(
    int fd = 0, std::size_t limit = 64 * 1024);

}  // namespace m2::platform
