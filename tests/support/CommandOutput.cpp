#include "support/CommandOutput.h"

#include <sys/wait.h>

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

}  // namespace m2test
