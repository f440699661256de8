#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

#include "Sealkit/FileAccess.h"

namespace Morvane::Security {

// A file being written that appears under a name only once it is complete, so a crash
// leaves nothing half-written behind. Where the file system allows it the file has no
// name at all until publish(); elsewhere it is written under a temporary name in the
// same folder, created exclusively with mode 0600.
class OutputFile {
  public:
    OutputFile() = default;
    // An unpublished file is discarded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens a new, empty file in folder ("" is the root): unnamed when allowUnnamed and
    // the file system and /proc support it, else as folder/temporaryName. 0, or the
    // error number of the failed creation.
    [[nodiscard]] int create(const std::string& folder, const std::string& temporaryName,
                             bool allowUnnamed);

    [[nodiscard]] FILE* get() const { return stream.get(); }
    [[nodiscard]] bool isOpen() const { return stream != nullptr; }
    [[nodiscard]] bool isUnnamed() const { return stream != nullptr && temporary.empty(); }
    // The temporary name of a named file; empty for an unnamed one.
    [[nodiscard]] const std::string& temporaryPath() const { return temporary; }

    // Flush and fsync; the file gets these access bits once it has its name (an unnamed
    // one at once). False with errno.
    [[nodiscard]] bool finish(mode_t permissions);
    // Gives the finished file the name path and closes it; an existing file of that name
    // is never replaced (false, errno EEXIST). The folder is not synced here.
    [[nodiscard]] bool publish(const std::string& path);
    // Closes the file and removes its temporary name, if any; its content is gone with
    // it only when the caller overwrote it first.
    void discard();

  private:
    FilePtr stream;
    std::string temporary;
    mode_t finalPermissions = 0600;
};

// Whether path is a leftover temporary of this program: a regular file of the user's
// own, mode 0600, with no other link. Only such a file may be removed unasked.
[[nodiscard]] bool isOwnTemporary(const std::string& path);

}  // namespace Morvane::Security
