#include "support/EngineFiles.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace m2test {

ScratchDir::ScratchDir() {
    const fs::path root = fs::path(M2_BINARY_DIR) / "test-tmp";
    fs::create_directories(root);
    std::string pattern = (root / "e-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed under " + root.string());
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

SmallTmpfs::SmallTmpfs(std::uint64_t bytes) : bytes_(bytes) {
    const std::string options = "size=" + std::to_string(bytes_) + ",mode=0755";
    mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallTmpfs::~SmallTmpfs() {
    if (mounted_) {
        (void)::umount2(dir_.path().c_str(), MNT_DETACH);
    }
}

bool SmallTmpfs::setReadOnly(bool readOnly) {
    const std::string options = "size=" + std::to_string(bytes_);
    const unsigned long flags =
        readOnly ? (MS_REMOUNT | MS_RDONLY) : static_cast<unsigned long>(MS_REMOUNT);
    return ::mount("tmpfs", dir_.path().c_str(), "tmpfs", flags, options.c_str()) == 0;
}

void SmallTmpfs::fill() {
    std::ofstream out(dir_ / ".filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (out.write(block.data(), static_cast<std::streamsize>(block.size()))) {
        out.flush();
    }
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool pathExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

unsigned permissionBits(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : ~0U;
}

std::vector<std::string> folderNames(const std::string& folder) {
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

}  // namespace m2test
