#include "app/services/SecurityManagerExtensions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "Sealkit/SealkitFacade.h"
#include "app/services/Result.h"
#include "app/services/Settings.h"
#include "platform/AtomicWrite.h"
#include "platform/FileAttributes.h"
#include "platform/FileDescriptor.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace m2 {
namespace {

bool sameFile(const fs::path& a, const fs::path& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// "a.txt.m2p" -> "a.txt_(n).m2p": the working copy's own name does not matter to the
// decryption, which takes the plain name from the file.
fs::path numberedSibling(const fs::path& path, int n) {
    const std::string stem = path.stem().string();
    return path.parent_path() / (stem + "_(" + std::to_string(n) + ")" + path.extension().string());
}

// Copies `source` to the new file `target`, created exclusively with mode 0600.
bool copyExclusively(const fs::path& source, const fs::path& target) {
    const platform::UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) {
        return false;
    }
    platform::UniqueFd out = platform::createPlainFile(target);
    if (!out) {
        return false;
    }
    std::vector<char> buffer(64 * 1024);
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w =
                ::write(out.get(), buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
        if (!ok) {
            break;
        }
    }
    ok = ok && ::fsync(out.get()) == 0;
    ok = out.reset() && ok;
    if (!ok) {
        ::unlink(target.c_str());
    }
    return ok;
}

}  // namespace

SecurityManagerExtensions& SecurityManagerExtensions::instance() {
    static SecurityManagerExtensions extensions;
    return extensions;
}

TempLocationResult SecurityManagerExtensions::decryptToTempLocation(const std::string& path,
                                                                    const std::string& password,
                                                                    const std::string& hint) const {
    const auto folder = platform::privateTemporaryFolder();
    if (!folder) {
        std::printf("%s\n", folder.message.c_str());
        return {securityResult::CouldNotCopyToTempLocation, "", ""};
    }
    const fs::path source(path);
    fs::path working = folder.path / source.filename();
    std::error_code ec;
    if (fs::exists(fs::symlink_status(working, ec))) {
        if (sameFile(working, source)) {
            // The document already lives in the temporary folder: never remove it.
            for (int n = 1; fs::exists(fs::symlink_status(working, ec)); ++n) {
                working = numberedSibling(folder.path / source.filename(), n);
            }
        } else {
            fs::remove(working, ec);  // an older working copy; a failure shows in the copy
        }
    }
    if (!copyExclusively(source, working)) {
        return {securityResult::CouldNotCopyToTempLocation, "", ""};
    }

    std::string storedHint = hint;
    Decryptor decryptor(password, hint);
    const Result result = Result(decryptor.decryptFileOutcome(working.string(), storedHint));
    if (result.status) {
        return {securityResult::OK, result.path, ""};
    }
    if (::unlink(working.c_str()) != 0 && errno != ENOENT) {
        std::printf("Could not remove the encrypted copy %s: %s\n", working.c_str(),
                    std::strerror(errno));
        return {securityResult::CouldNotCopyToTempLocation, "", ""};
    }
    return {securityResult::CouldNotOpenFile, working.string(), result.reason};
}

securityResult SecurityManagerExtensions::encryptTempBackToOriginal(
    const std::string& path, const std::string& destinationFile, const std::string& password,
    const std::string& hint) const {
    const Settings& settings = Settings::instance();
    Encryptor encryptor(password, hint, settings.EncryptFilenames(), settings.HideFileExtensions());
    const Result result = Result(encryptor.encryptFileOutcome(path, hint));
    if (!result.status) {
        return securityResult::CouldNotReencrypt;
    }
    const fs::path sealed(result.path);
    if (sealed == fs::path(destinationFile) || sameFile(sealed, destinationFile)) {
        return securityResult::OK;
    }
    // The old encrypted file is replaced in one rename, so a failed copy never loses it.
    if (const auto copied = platform::copyFileAtomically(sealed, destinationFile); !copied) {
        std::printf("%s. The sealed document is kept at %s\n", copied.message.c_str(),
                    sealed.c_str());
        return securityResult::CouldNotReencrypt;
    }
    if (shredFile(sealed.string()) != securityResult::OK) {
        std::printf(
            "The document was sealed in place, but the leftover copy %s could not be "
            "removed.\n",
            sealed.c_str());
    }
    return securityResult::OK;
}

securityResult SecurityManagerExtensions::shredFile(const std::string& path) const {
    return ::remove(path.c_str()) == 0 ? securityResult::OK : securityResult::CouldNotShredFile;
}

void SecurityManagerExtensions::addReadonlyAttribute(const std::string& path) const {
    (void)platform::setLocked(path, true);
}

bool SecurityManagerExtensions::removeReadonlyAttribute(const std::string& path) const {
    return platform::isLocked(path) == true && platform::setLocked(path, false);
}

}  // namespace m2
