#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace m2bench {

// A scratch folder for one benchmark program, made once under $TMPDIR or /tmp
// ("m2-bench-<name>-XXXXXX"); a TMPDIR in memory keeps a shared disk out of the figures.
inline std::filesystem::path scratchFolder(const std::string& name) {
    const char* tmp = getenv("TMPDIR");
    const std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    std::string pattern = base + "/m2-bench-" + name + "-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    return std::filesystem::path(made != nullptr ? made : base + "/m2-bench-" + name);
}

// Working copies on a memory file system, as under a desktop session's runtime folder: a
// private folder in /dev/shm becomes XDG_RUNTIME_DIR (`fallback` where none can be made) and
// `scratch` the temporary folder. Answers the runtime folder.
inline std::filesystem::path useMemoryRuntimeFolder(const std::string& name,
                                                    const std::filesystem::path& scratch) {
    std::string pattern = "/dev/shm/m2-bench-" + name + "-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    const std::filesystem::path runtime =
        made != nullptr ? std::filesystem::path(made) : scratch / "run";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("TMPDIR", scratch.c_str(), 1);
    return runtime;
}

// Replaces `dir` with `files` files "file<n>.bin" of `bytes` deterministic bytes each;
// answers their names.
inline std::vector<std::string> writePatternFiles(const std::filesystem::path& dir, int files,
                                                  std::size_t bytes) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>((31 * i + 7) % 251);
    }
    std::vector<std::string> names;
    for (int f = 0; f < files; ++f) {
        names.push_back("file" + std::to_string(f) + ".bin");
        std::ofstream out(dir / names.back(), std::ios::binary);
        for (std::size_t left = bytes; left > 0;) {
            const std::size_t n = std::min(left, block.size());
            out.write(block.data(), static_cast<std::streamsize>(n));
            left -= n;
        }
    }
    return names;
}

}  // namespace m2bench
