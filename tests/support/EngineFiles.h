#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace m2test {

// A fresh folder under the build tree, removed with everything in it.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] std::string operator/(const std::string& name) const {
        return path_ + "/" + name;
    }

  private:
    std::string path_;
};

// A small tmpfs mounted on a fresh folder, for full-disk and read-only cases; needs the
// privilege to mount, so tests check mounted() and skip otherwise.
class SmallTmpfs {
  public:
    explicit SmallTmpfs(std::uint64_t bytes);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] const std::string& path() const { return dir_.path(); }
    [[nodiscard]] std::string operator/(const std::string& name) const { return dir_ / name; }
    // Makes the whole mount read-only (or writable again).
    [[nodiscard]] bool setReadOnly(bool readOnly);
    // Fills the free space with a file, so the next write that needs a block fails.
    void fill();

  private:
    ScratchDir dir_;
    std::uint64_t bytes_;
    bool mounted_ = false;
};

[[nodiscard]] std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
// lstat: a dangling link or an unreadable file still exists.
[[nodiscard]] bool pathExists(const std::string& path);
// The permission bits, without following a link; all ones when the path is missing.
[[nodiscard]] unsigned permissionBits(const std::string& path);
// Sorted names in a folder, hidden ones included.
[[nodiscard]] std::vector<std::string> folderNames(const std::string& folder);
// Deterministic content: byte i is (31 * i + 7) mod 251, so no run repeats a block.
[[nodiscard]] std::string patternText(std::size_t length);

}  // namespace m2test
