#include "platform/Launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <system_error>
#include <thread>

#include "platform/FileDescriptor.h"

extern char** environ;

namespace fs = std::filesystem;

namespace m2::platform {
namespace {

bool isExecutableFile(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

LaunchResult launchFailure(int error, pid_t pid, const std::string& what) {
    return {pid, error, what + ": " + std::strerror(error)};
}

// Writes all of `bytes`; a reader that went away gives EPIPE instead of killing this
// program, since SIGPIPE stays blocked on this thread for the write.
int writeAllWithoutSigpipe(int fd, std::string_view bytes) {
    sigset_t pipeOnly;
    sigset_t previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    int error = 0;
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error == EPIPE && sigismember(&previous, SIGPIPE) == 0) {
        // Take the pending SIGPIPE of the failed write before the mask is restored.
        const timespec none{0, 0};
        while (::sigtimedwait(&pipeOnly, nullptr, &none) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return error;
}

// Owns the posix_spawn attribute objects for one start.
struct SpawnSetup {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

std::optional<fs::path> findLauncherIn(const fs::path& programFolder, const fs::path& installFolder,
                                       const fs::path& fromProgramFolder) {
    // The installed layout keeps its shape under any prefix: <bindir>/../<libexecdir>/...
    const fs::path installed =
        programFolder.empty() || fromProgramFolder.empty() || fromProgramFolder.is_absolute()
            ? fs::path()
            : (programFolder / fromProgramFolder).lexically_normal();
    for (const fs::path& folder : {programFolder, installed, installFolder}) {
        if (folder.empty() || !folder.is_absolute()) {
            continue;
        }
        if (const fs::path candidate = folder / kLauncherName; isExecutableFile(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<fs::path> findLauncher() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return findLauncherIn(ec ? fs::path() : self.parent_path(), M2_LAUNCHER_INSTALL_DIR,
                          M2_LAUNCHER_FROM_PROGRAM_DIR);
}

std::string launcherArgument(const std::string& documentPath) {
    return documentPath + ",-,hint";
}

LaunchResult startLauncher(const fs::path& launcher, const std::string& documentPath,
                           std::string_view password) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return launchFailure(errno, -1, "Could not start the launcher");
    }
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);

    SpawnSetup setup;
    // The read end becomes the launcher's standard input; every other descriptor of ours is
    // close-on-exec and stays behind.
    posix_spawn_file_actions_adddup2(&setup.actions, readEnd.get(), STDIN_FILENO);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGCHLD}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setflags(&setup.attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::string program = launcher.string();
    std::string argument = launcherArgument(documentPath);
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv, environ);
    readEnd.reset();
    if (spawned != 0) {
        return launchFailure(spawned, -1, "Could not start the launcher \"" + program + "\"");
    }
    // Reaped in the background, so no zombie stays while this program runs on; a program that
    // ends first leaves the launcher to the system. Without a thread it only stays a zombie.
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
    }

    const int written = writeAllWithoutSigpipe(writeEnd.get(), password);
    writeEnd.reset();
    if (written != 0) {
        return launchFailure(written, pid, "The launcher did not receive the password");
    }
    return {pid, 0, {}};
}

std::optional<Morvane::Security::Secret> readLauncherPassword(int fd, std::size_t limit) {
    if (::isatty(fd) != 0) {
        return std::nullopt;
    }
    Morvane::Security::Secret password;
    char chunk[4096];
    struct WipeChunk {
        char* bytes;
        ~WipeChunk() { Morvane::Security::wipe(bytes, sizeof chunk); }
    } wipeChunk{chunk};
    while (password.size() < limit) {
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, limit - password.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        password.append(std::string_view(chunk, static_cast<std::size_t>(n)));
    }
    return password;
}

}  // namespace m2::platform
