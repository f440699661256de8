#include "support/CommandOutput.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace m2test {

std::string commandOutput(const std::string& command, int* exitStatus) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (exitStatus != nullptr) {
            *exitStatus = -1;
        }
        return out;
    }
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        out.append(chunk, n);
    }
    const int status = pclose(pipe);
    if (exitStatus != nullptr) {
        *exitStatus = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    }
    return out;
}

std::vector<char*> execPointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

std::string programOutput(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          const std::string& folder, int* exitStatus) {
    if (exitStatus != nullptr) {
        *exitStatus = -1;
    }
    int ends[2];
    if (argv.empty() || ::pipe2(ends, O_CLOEXEC) != 0) {
        return {};
    }
    std::vector<std::string> args = argv;
    std::vector<std::string> vars = env;
    const std::vector<char*> argp = execPointers(args);
    const std::vector<char*> envp = execPointers(vars);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    // Wait for the program first: a child it leaves running (a started launcher) may hold the
    // pipe open long after; what the program wrote is in the pipe by then.
    int status = 0;
    const bool ended = spawned == 0 && ::waitpid(pid, &status, 0) == pid;
    if (ended && WIFEXITED(status) && exitStatus != nullptr) {
        *exitStatus = WEXITSTATUS(status);
    }
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    std::string out;
    char chunk[4096];
    for (ssize_t n; ended && (n = ::read(ends[0], chunk, sizeof chunk)) != 0;) {
        if (n > 0) {
            out.append(chunk, static_cast<std::size_t>(n));
        } else if (errno != EINTR) {
            break;
        }
    }
    ::close(ends[0]);
    return out;
}

}  // namespace m2test
