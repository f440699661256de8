#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace m2bench {

// The files one batch run works on: `files` pattern files of `bytes` bytes each, in a folder
// called `name`.
struct BatchShape {
    const char* name;
    int files;
    std::size_t bytes;
};

// Runs a program with argv, no shell; answers whether it exited with 0.
inline bool runProgram(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The reference a batch is measured against, file by file as the batch does it: openssl enc
// (PBKDF2, 10000 SHA-256 rounds), sync of the result, shred of the plain file, over
// "file<n>.bin" in `dir`. The password is read from `passFile`, so it is on no command line.
// False at the first program that fails.
inline bool opensslAndShred(const std::filesystem::path& dir, int files,
                            const std::filesystem::path& passFile) {
    for (int f = 0; f < files; ++f) {
        const std::string plain = dir / ("file" + std::to_string(f) + ".bin");
        if (!runProgram({"openssl", "enc", "-aes-256-cbc", "-pbkdf2", "-iter", "10000", "-md",
                         "sha256", "-salt", "-pass", "file:" + passFile.string(), "-in", plain,
                         "-out", plain + ".enc"}) ||
            !runProgram({"sync", plain + ".enc"}) ||
            !runProgram({"shred", "-n", "1", "-u", plain})) {
            return false;
        }
    }
    return true;
}

}  // namespace m2bench
