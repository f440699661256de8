#include "M2 Launcher/OpenFiles/LeftEdits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <system_error>

#include "Sealkit/SealkitFacade.h"
#include "platform/FileDescriptor.h"
#include "platform/WorkingFolders.h"

namespace fs = std::filesystem;

namespace m2 {
namespace {

// The working folder a record's plain copy lies in (a record made before the decryption
// names the folder itself, ending in "/").
fs::path folderOf(const OpenFileItem& item) {
    return platform::workingFolderOf(item.plainPath).value_or(fs::path());
}

// The shredder renames a file to 'Z's (dots kept) before it removes it.
bool scrambledName(const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return c == 'Z' || c == '.'; });
}

enum class Content { unreadable, empty, overwritten, data };

// Whether the file holds anything but the shredder's 0xFF bytes.
Content contentOf(const fs::path& file) {
    const platform::UniqueFd fd(
        ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Content::unreadable;
    }
    std::array<unsigned char, 65536> buffer{};
    bool any = false;
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Content::unreadable;
        }
        if (n == 0) {
            return any ? Content::overwritten : Content::empty;
        }
        any = true;
        if (std::any_of(buffer.begin(), buffer.begin() + n,
                        [](unsigned char c) { return c != 0xFF; })) {
            return Content::data;
        }
    }
}

bool sameContent(const fs::path& a, const fs::path& b) {
    const platform::UniqueFd fa(::open(a.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    const platform::UniqueFd fb(::open(b.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat sa {};
    struct stat sb {};
    if (!fa || !fb || ::fstat(fa.get(), &sa) != 0 || ::fstat(fb.get(), &sb) != 0 ||
        !S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size) {
        return false;
    }
    std::array<char, 65536> ba{};
    std::array<char, 65536> bb{};
    for (;;) {
        const ssize_t n = ::read(fa.get(), ba.data(), ba.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        for (ssize_t got = 0; got < n;) {
            const ssize_t m = ::read(fb.get(), bb.data() + got, static_cast<size_t>(n - got));
            if (m < 0 && errno == EINTR) {
                continue;
            }
            if (m <= 0) {
                return false;
            }
            got += m;
        }
        if (!std::equal(ba.begin(), ba.begin() + n, bb.begin())) {
            return false;
        }
    }
}

}  // namespace

bool LeftEdits::documentUnchanged() const {
    if (!record || !record->document) {
        return false;
    }
    const auto now = DocumentIdentity::of(record->encryptedPath);
    return now && record->document->unchanged(*now);
}

bool isEditorTrace(const std::string& name) {
    const bool hidden = name.size() > 1 && name[0] == '.';
    const bool swap = hidden && name.size() >= 4 && name.compare(name.size() - 4, 3, ".sw") == 0 &&
                      name.back() >= 'a' && name.back() <= 'z';
    return (name.size() > 1 && name.back() == '~') || swap ||
           (name.starts_with(".~lock.") && name.back() == '#') ||
           name.starts_with(".goutputstream-");
}

std::vector<fs::path> savedBesideCopy(const fs::path& folder, const fs::path& copy) {
    std::vector<fs::path> saved;
    const fs::path own = copy.lexically_normal();
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        const fs::path& file = it->path();
        const std::string name = file.filename().string();
        // Its own error: one unreadable entry must not end the walk, and what cannot be told
        // apart is kept as the user's work (its sealing then fails and the folder stays).
        std::error_code statusError;
        const fs::file_status status = it->symlink_status(statusError);
        const bool regular = statusError || fs::is_regular_file(status);
        if (regular && file.lexically_normal() != own && name != platform::kKeptPlainName &&
            !isEditorTrace(name)) {
            saved.push_back(file);
        }
    }
    std::sort(saved.begin(), saved.end());
    return saved;
}

LeftEdits examineFolder(const fs::path& folder, const std::optional<OpenFileItem>& record) {
    LeftEdits left{folder, record, std::nullopt, false, std::nullopt};
    std::vector<fs::path> plains;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        if (!fs::is_regular_file(it->symlink_status(ec))) {
            continue;
        }
        const fs::path& file = it->path();
        if (readStoredHint(file.string())) {
            if (!left.sealed) {
                left.sealed = file;
            }
            continue;
        }
        if (!scrambledName(file.filename().string()) && contentOf(file) == Content::data) {
            plains.push_back(file);
        }
    }
    // The recorded copy first, then the one kept while sealing, then any other.
    const auto rank = [&](const fs::path& file) {
        if (record && file.lexically_normal() == fs::path(record->plainPath).lexically_normal()) {
            return 0;
        }
        return file.filename() == platform::kKeptPlainName ? 1 : 2;
    };
    std::stable_sort(plains.begin(), plains.end(),
                     [&](const fs::path& a, const fs::path& b) { return rank(a) < rank(b); });
    if (!plains.empty()) {
        left.plain = plains.front();
    }
    if (left.sealed && record) {
        left.sealedInPlace = sameContent(*left.sealed, record->encryptedPath);
    }
    return left;
}

std::vector<LeftEdits> findLeftEdits(const std::vector<OpenFileItem>& deadRecords,
                                     fs::file_time_type madeBefore) {
    std::vector<LeftEdits> found;
    std::vector<fs::path> folders;
    for (const OpenFileItem& record : deadRecords) {
        if (!platform::workingFolderOf(record.plainPath)) {
            // A copy outside our working folders: only the recorded file itself is looked at,
            // never the folder around it.
            LeftEdits left{{}, record, std::nullopt, false, std::nullopt};
            if (contentOf(record.plainPath) == Content::data) {
                left.plain = record.plainPath;
            }
            found.push_back(std::move(left));
            continue;
        }
        const fs::path folder = folderOf(record);
        folders.push_back(folder.lexically_normal());
        found.push_back(examineFolder(folder, record));
    }
    for (const fs::path& folder : platform::unheldDocumentFolders(madeBefore)) {
        if (std::find(folders.begin(), folders.end(), folder.lexically_normal()) == folders.end()) {
            found.push_back(examineFolder(folder, std::nullopt));
        }
    }
    return found;
}

}  // namespace m2
