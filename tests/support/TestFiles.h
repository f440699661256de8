#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace m2::test {

// A fresh folder under the build tree (never the user's home), removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const {
        return path_ / name;
    }

  private:
    std::filesystem::path path_;
};

// A small tmpfs mounted on a fresh folder, for full-disk and read-only cases. A normal user
// mounts it in a private namespace (see PrivateMounts.h); tests check mounted() and skip,
// naming whyNotMounted(), where the kernel allows no such namespace.
class SmallTmpfs {
  public:
    // inodes: the most files and folders it holds, 0 for the tmpfs default.
    explicit SmallTmpfs(std::uint64_t bytes, std::uint64_t inodes = 0);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] const std::string& whyNotMounted() const { return whyNotMounted_; }
    [[nodiscard]] const std::filesystem::path& path() const { return dir_.path(); }
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const {
        return dir_ / name;
    }
    // Makes the whole mount read-only (or writable again).
    [[nodiscard]] bool setReadOnly(bool readOnly);
    // Fills the free space with a file, so the next write that needs a block fails.
    void fill();

  private:
    TempDir dir_;
    std::uint64_t bytes_;
    std::uint64_t inodes_;
    bool mounted_ = false;
    std::string whyNotMounted_;
};

// Sets (or with std::nullopt unsets) one environment variable and restores it on scope exit.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

[[nodiscard]] std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);
// lstat: a dangling link or an unreadable file still exists.
[[nodiscard]] bool pathExists(const std::filesystem::path& path);
// The permission bits, without following a link; all ones when the path is missing.
[[nodiscard]] mode_t permissionBits(const std::filesystem::path& path);
// Names in `folder`, sorted; hidden ones included.
[[nodiscard]] std::vector<std::string> listFolder(const std::filesystem::path& folder);
// Deterministic content: byte i is (31 * i + 7) mod 251, so no run repeats a block.
[[nodiscard]] std::string patternText(std::size_t length);

}  // namespace m2::test
