#pragma once

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <string>

namespace Morvane::Security {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
// Owns an open stream; where the close result matters use closeChecked().
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Closes the stream (if any) and answers whether the close succeeded; errno is set.
[[nodiscard]] bool closeChecked(FilePtr& file);

// Opens a regular file as a stdio stream; open(2) flags are given, O_CLOEXEC and
// O_NONBLOCK (so a FIFO cannot block the open) are added. Anything else is refused
// with errno EISDIR (a folder) or EINVAL (a FIFO, device or socket); O_NOFOLLOW in the
// flags refuses a symbolic link with ELOOP. Null on failure, errno set.
[[nodiscard]] FILE* openRegularFile(const std::string& path, int flags, const char* mode,
                                    mode_t* permissions = nullptr);

// Creates a new file that did not exist (never truncates, never follows a link) and
// opens it for reading and writing. Null on failure, errno set (EEXIST when taken).
[[nodiscard]] FILE* createExclusiveFile(const std::string& path, mode_t permissions);

// Makes what was written reach the disk: flush, fsync. False with errno on failure.
[[nodiscard]] bool flushAndSync(FILE* file);

// fsync of the folder holding path, so a new or removed name is durable.
[[nodiscard]] bool syncParentFolder(const std::string& path);

// A rename that never replaces an existing file; false (errno set) when it did not
// happen, also where the file system cannot promise not to replace.
[[nodiscard]] bool renameNoReplace(const std::string& from, const std::string& to);

}  // namespace Morvane::Security
