#include "support/TestFiles.h"

#include "support/PrivateMounts.h"

#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace m2::test {

TempDir::TempDir() {
    const fs::path root = fs::path(M2_BINARY_DIR) / "test-tmp";
    fs::create_directories(root);
    std::string pattern = (root / "t-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed under " + root.string());
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests lock files and folders; open them up again so everything can be removed.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        if (!it->is_symlink()) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(path_, ec);
}

SmallTmpfs::SmallTmpfs(std::uint64_t bytes, std::uint64_t inodes) : bytes_(bytes), inodes_(inodes) {
    const std::string options = "size=" + std::to_string(bytes_) + ",mode=0755" +
                                (inodes_ > 0 ? ",nr_inodes=" + std::to_string(inodes_) : "");
    if (!privateMountsAvailable(&whyNotMounted_)) {
        return;
    }
    mounted_ = privilegedMount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted_) {
        whyNotMounted_ = std::string("mounting a tmpfs failed: ") + std::strerror(errno);
    }
}

SmallTmpfs::~SmallTmpfs() {
    if (mounted_) {
        (void)privilegedUnmount(dir_.path().c_str(), MNT_DETACH);
    }
}

bool SmallTmpfs::setReadOnly(bool readOnly) {
    const std::string options = "size=" + std::to_string(bytes_) +
                                (inodes_ > 0 ? ",nr_inodes=" + std::to_string(inodes_) : "");
    const unsigned long flags =
        readOnly ? (MS_REMOUNT | MS_RDONLY) : static_cast<unsigned long>(MS_REMOUNT);
    return privilegedMount("tmpfs", dir_.path().c_str(), "tmpfs", flags, options.c_str()) == 0;
}

void SmallTmpfs::fill() {
    std::ofstream out(dir_ / ".filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (out.write(block.data(), static_cast<std::streamsize>(block.size()))) {
        out.flush();
    }
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        old_ = old;
    }
    if (value) {
        ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (old_) {
        ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool pathExists(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

mode_t permissionBits(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return static_cast<mode_t>(-1);
    }
    return info.st_mode & 07777;
}

std::vector<std::string> listFolder(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string patternText(std::size_t length) {
    std::string out(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        out[i] = static_cast<char>((31 * i + 7) % 251);
    }
    return out;
}

}  // namespace m2::test
