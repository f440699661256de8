#include "app/services/SecurityManagerExtensions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
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

std::mutex g_sealStepMutex;
std::shared_ptr<const std::function<void(SecurityManagerExtensions::SealStep)>> g_sealStepHook;

// Whether anything is at `path`, itself not followed; never throws (this runs on workers).
bool existsAt(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

bool sameFile(const fs::path& a, const fs::path& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
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

void SecurityManagerExtensions::setSealStepHook(std::function<void(SealStep)> hook) {
    auto shared =
        hook ? std::make_shared<const std::function<void(SealStep)>>(std::move(hook)) : nullptr;
    const std::lock_guard lock(g_sealStepMutex);
    g_sealStepHook = std::move(shared);
}

void SecurityManagerExtensions::reached(SealStep step) {
    std::shared_ptr<const std::function<void(SealStep)>> hook;
    {
        const std::lock_guard lock(g_sealStepMutex);
        hook = g_sealStepHook;
    }
    if (hook) {
        (*hook)(step);  // outside the lock: a hook may block its worker or set another
    }
}

SecurityManagerExtensions& SecurityManagerExtensions::instance() {
    static SecurityManagerExtensions extensions;
    return extensions;
}

TempLocationResult SecurityManagerExtensions::decryptToTempLocation(
    const std::string& path, std::string_view password, const std::string& hint,
    platform::WorkingFolderPurpose purpose) const {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        return {securityResult::CouldNotCopyToTempLocation, "", ""};
    }
    // A fresh sub-folder per operation: two documents of one name never share a path, and an
    // editor's lock and backup files stay beside the copy.
    const auto folder = platform::makeWorkingFolder(purpose, size);
    if (!folder) {
        std::printf("%s\n", folder.message.c_str());
        return {securityResult::CouldNotCopyToTempLocation, "", ""};
    }
    return decryptIntoFolder(path, password, hint, folder.path);
}

TempLocationResult SecurityManagerExtensions::decryptIntoFolder(const std::string& path,
                                                                std::string_view password,
                                                                const std::string& hint,
                                                                const fs::path& folder) const {
    const fs::path source(path);
    const fs::path working = folder / source.filename();
    if (!copyExclusively(source, working)) {
        (void)platform::removeWorkingFolder(folder);
        return {securityResult::CouldNotCopyToTempLocation, "", ""};
    }

    std::string storedHint = hint;
    Decryptor decryptor(password, hint);
    const SealkitOutcome outcome = decryptor.decryptFileOutcome(working.string(), storedHint);
    const Result result = Result(outcome);
    if (result.status) {
        return {securityResult::OK, result.path, ""};
    }
    if (!platform::removeWorkingFolder(folder)) {
        std::printf("Could not remove the encrypted copy %s\n", working.c_str());
        return {securityResult::CouldNotCopyToTempLocation, "", ""};
    }
    return {securityResult::CouldNotOpenFile, working.string(), result.reason,
            outcome.passwordRefused()};
}

securityResult SecurityManagerExtensions::encryptTempBackToOriginal(
    const std::string& path, const std::string& destinationFile, std::string_view password,
    const std::string& hint) const {
    return sealEditedFile(path, destinationFile, password, hint, Placement::replaceDestination)
        .result;
}

SealBackResult SecurityManagerExtensions::sealEditedFile(const std::string& path,
                                                         const std::string& destinationFile,
                                                         std::string_view password,
                                                         const std::string& hint,
                                                         Placement placement) const {
    SealBackResult outcome;
    // A file its owner (or the editor) locked is sealed all the same, as the batch does: the
    // lock is lifted for the sealing and set again on what holds the edits afterwards.
    const bool wasLocked = removeReadonlyAttribute(path);
    const auto relock = [&](const std::string& file) {
        if (wasLocked) {
            addReadonlyAttribute(file);
        }
    };
    // A second name keeps the edited content while it is sealed: the engine then only takes
    // the plain name away, and the content goes once the document holds the edits.
    const fs::path kept = fs::path(path).parent_path() / platform::kKeptPlainName;
    // Either may be a copy of its own (no second link could be made): it goes as plain
    // copies go, not by a bare unlink.
    (void)platform::removePlainCopy(kept);
    const bool keeping = ::link(path.c_str(), kept.c_str()) == 0 || copyExclusively(path, kept);
    auto dropKept = [&] {
        if (keeping && existsAt(kept) && !platform::removePlainCopy(kept)) {
            std::printf("Could not remove %s\n", kept.c_str());
        }
    };
    if (!keeping) {
        const int error = errno;
        std::printf("Could not keep the edited file %s while it is encrypted\n", path.c_str());
        relock(path);
        outcome.location = existsAt(path) ? path : std::string();
        outcome.reason = std::strerror(error);
        return outcome;
    }
    reached(SealStep::kept);
    const Settings& settings = Settings::instance();
    Encryptor encryptor(password, hint, settings.EncryptFilenames(), settings.HideFileExtensions());
    const Result result = Result(encryptor.encryptFileOutcome(path, hint));
    if (!result.status) {
        // The plain name is still there (the engine leaves it on failure), else the kept one
        // is all that is left of the edits.
        if (existsAt(path)) {
            dropKept();
        } else {
            (void)::rename(kept.c_str(), path.c_str());
        }
        relock(path);
        outcome.location = path;
        outcome.reason = result.reason;
        return outcome;
    }
    reached(SealStep::sealed);
    const fs::path sealed(result.path);
    const bool inPlace = placement == Placement::replaceDestination &&
                         (sealed == fs::path(destinationFile) || sameFile(sealed, destinationFile));
    fs::path placed = destinationFile;
    platform::WriteResult copied;
    if (placement == Placement::replaceDestination) {
        if (!inPlace) {
            // The old encrypted file is replaced in one rename, so a failed copy never loses it.
            copied = platform::copyFileAtomically(sealed, destinationFile);
        }
    } else {
        // Beside the document under the sealed file's own name, or a copy name as the engine
        // gives one when that is taken; never over a file.
        const fs::path folder = fs::path(destinationFile).parent_path();
        const std::string name = sealed.filename().string();
        const std::string stem = name.ends_with(".m2p") ? name.substr(0, name.size() - 4) : name;
        copied = platform::copyFileToFreeName(
            sealed,
            [&](int n) {
                return n == 0      ? folder / name
                       : n <= 4999 ? folder / (stem + "_(copy " + std::to_string(n) + ").m2p")
                                   : fs::path();
            },
            placed);
    }
    if (!copied) {
        std::printf("%s. The sealed document is kept at %s\n", copied.message.c_str(),
                    sealed.c_str());
        // The sealed copy is complete and holds the edits: the plain one is not needed.
        if (!platform::removePlainCopy(kept)) {
            std::printf("Could not remove %s\n", kept.c_str());
        }
        outcome.location = sealed.string();
        outcome.encrypted = true;
        outcome.reason = copied.message;
        return outcome;
    }
    relock(placed.string());
    reached(SealStep::placed);
    // Only now, with the edits in the document, does the plain content go.
    if (!platform::removePlainCopy(kept)) {
        std::printf("Could not remove the plain copy %s\n", kept.c_str());
    }
    reached(SealStep::plainDestroyed);
    if (!inPlace && ::unlink(sealed.c_str()) != 0) {
        // Only ciphertext: removed, not overwritten.
        std::printf(
            "The document was sealed in place, but the leftover copy %s could not be "
            "removed.\n",
            sealed.c_str());
    }
    reached(SealStep::sealedRemoved);
    outcome.result = securityResult::OK;
    outcome.location = placed.string();
    return outcome;
}

securityResult SecurityManagerExtensions::removeWorkingFolder(const std::string& path) const {
    return platform::removeWorkingFolder(path) ? securityResult::OK
                                               : securityResult::CouldNotShredFile;
}

securityResult SecurityManagerExtensions::shredFile(const std::string& path) const {
    return platform::removePlainCopy(path) ? securityResult::OK : securityResult::CouldNotShredFile;
}

void SecurityManagerExtensions::addReadonlyAttribute(const std::string& path) const {
    (void)platform::setLocked(path, true);
}

bool SecurityManagerExtensions::removeReadonlyAttribute(const std::string& path) const {
    return platform::isLocked(path) == true && platform::setLocked(path, false);
}

}  // namespace m2
