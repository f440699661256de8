#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace Morvane::Security {

// Destroys a file so that neither its content nor its name stays readable in place:
// one pass of 0xFF bytes, made durable, then a rename to a name of "Z" characters of
// the same shape, then removal.
class CSecureDelete {
  public:
    static constexpr std::size_t kBlockSize = 0x40000;

    explicit CSecureDelete(int passes);
    virtual ~CSecureDelete() = default;
    CSecureDelete(const CSecureDelete&) = delete;
    CSecureDelete& operator=(const CSecureDelete&) = delete;

    // Stored only: the deletion always makes exactly one pass.
    void setNumPasses(int passes, bool unused = false);
    [[nodiscard]] int getNumPasses() const { return numPasses; }

    // How far a deletion got.
    enum class Outcome {
        deleted,            // overwritten, synced, moved to its "Z" name and removed
        untouched,          // not opened for writing, or other names link to it; errno set
        partlyOverwritten,  // a write or sync failed; the file keeps its name
        notRemoved,         // overwritten and synced, but its name could not be removed
    };

    // Overwrites and removes the file. Anything but a regular file (a directory, FIFO,
    // device or symbolic link) is refused, and so is a file with other hard links (errno
    // EMLINK): their content is not this name's to destroy.
    [[nodiscard]] Outcome destroy(const std::string& path);
    // True when destroy() deleted the file.
    [[nodiscard]] bool deleteFile(const std::string& path);

    // Writes count bytes of 0xFF at the current position in pieces of at most
    // kBlockSize bytes; false as soon as a write writes nothing.
    [[nodiscard]] bool SecureOverwrite(FILE* file, std::uint64_t count);

    // Renames the file to its "Z" name; newPath receives the new path when the rename
    // succeeded, otherwise the old one. An existing file of the "Z" name is never
    // replaced: the rename is then skipped.
    void OverwriteFileName(const std::string& path, std::string& newPath);

    // The "Z" name of a path: every character after the last "/" except "." becomes "Z".
    [[nodiscard]] static std::string zeroName(const std::string& path);

  protected:
    // Seams for tests that watch the write pattern or inject failures.
    virtual std::size_t writeBytes(FILE* file, const unsigned char* data, std::size_t count);
    [[nodiscard]] virtual bool syncFile(FILE* file);
    [[nodiscard]] virtual int removePath(const std::string& path);

  private:
    std::int32_t numPasses;
};

}  // namespace Morvane::Security
