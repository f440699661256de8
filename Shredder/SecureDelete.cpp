#include "Shredder/SecureDelete.h"

#include "Sealkit/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace Morvane::Security {

namespace {

const unsigned char* fillBlock() {
    static const std::vector<unsigned char> block(CSecureDelete::kBlockSize, 0xFF);
    return block.data();
}

}  // namespace

CSecureDelete::CSecureDelete(int passes) : numPasses(passes) {}

void CSecureDelete::setNumPasses(int passes, bool /*unused*/) {
    numPasses = passes;
}

std::string CSecureDelete::zeroName(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::string result = path;
    for (std::size_t i = start; i < result.size(); ++i) {
        if (result[i] != '.') {
            result[i] = 'Z';
        }
    }
    return result;
}

std::size_t CSecureDelete::writeBytes(FILE* file, const unsigned char* data, std::size_t count) {
    return std::fwrite(data, 1, count, file);
}

bool CSecureDelete::syncFile(FILE* file) {
    return flushAndSync(file);
}

int CSecureDelete::removePath(const std::string& path) {
    return ::unlink(path.c_str());
}

bool CSecureDelete::SecureOverwrite(FILE* file, std::uint64_t count) {
    const unsigned char* block = fillBlock();
    while (count > 0) {
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(count, kBlockSize));
        const std::size_t written = writeBytes(file, block, piece);
        if (written == 0) {
            return false;
        }
        count -= written;
    }
    return true;
}

void CSecureDelete::OverwriteFileName(const std::string& path, std::string& newPath) {
    const std::string target = zeroName(path);
    newPath = (target != path && renameNoReplace(path, target)) ? target : path;
}

CSecureDelete::Outcome CSecureDelete::destroy(const std::string& path) {
    FILE* file = openRegularFile(path, O_RDWR | O_NOFOLLOW, "r+b");
    if (file == nullptr) {
        return Outcome::untouched;
    }
    struct stat st {};
    if (::fstat(::fileno(file), &st) != 0 || st.st_nlink > 1) {
        const int error = st.st_nlink > 1 ? EMLINK : errno;
        std::fclose(file);
        errno = error;
        return Outcome::untouched;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    bool overwritten = true;
    if (size > 0) {
        // The last byte first, so a file that cannot be written to its end fails early.
        overwritten = ::fseeko(file, static_cast<off_t>(size - 1), SEEK_SET) == 0 &&
                      SecureOverwrite(file, 1) && ::fseeko(file, 0, SEEK_SET) == 0 &&
                      SecureOverwrite(file, size);
    }
    // The overwrite must reach the disk before the name goes away.
    overwritten = overwritten && syncFile(file);
    if (std::fclose(file) != 0 || !overwritten) {
        return Outcome::partlyOverwritten;
    }

    std::string current;
    OverwriteFileName(path, current);
    if (removePath(current) != 0) {
        if (current != path) {
            const int saved = errno;
            (void)renameNoReplace(current, path);
            errno = saved;
        }
        return Outcome::notRemoved;
    }
    return Outcome::deleted;
}

bool CSecureDelete::deleteFile(const std::string& path) {
    return destroy(path) == Outcome::deleted;
}

}  // namespace Morvane::Security
