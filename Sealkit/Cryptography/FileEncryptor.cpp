#include "Sealkit/Cryptography/FileEncryptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Sealkit/CipherUtils.h"
#include "Sealkit/FileHeader/FileHeader.h"
#include "Sealkit/MorvaneResult.h"
#include "Sealkit/PathUtils.h"

namespace Morvane::Security {

namespace {

// The notes store's working file, always encrypted to its own name plus ".m2p".
constexpr char kReplacedName[] = "M2PID0x1001.dat";
constexpr int kCreateAttempts = 16;
constexpr std::uint64_t kPadBasis = 16;
// Added to the plain file's name for the named temporary of file systems without
// unnamed files.
constexpr char kTemporarySuffix[] = ".m2p.cdf";

bool writeAll(FILE* file, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// Errors of file creation read as the system's own reason; only a refused access is
// the engine's "Access Denied" text.
int creationError(int error) {
    return (error == EACCES || error == EPERM) ? kAccessDenied
                                               : CMorvaneResult::systemErrorCode(error);
}

}  // namespace

FileEncryptor::FileEncryptor(bool encryptFilename_, std::string_view password_,
                             CCipherConstraints& constraints_)
    : FileCipher(encryptFilename_, password_, constraints_) {}

std::string FileEncryptor::chooseOutputPath() {
    replaceTarget.clear();
    if (encryptFilename) {
        return CipherUtils::obfuscateFileName(sourcePath, name, constraints, hideExtension);
    }
    if (hideExtension) {
        return CipherUtils::setFileExtension(sourcePath, g_morvaneFileExtension, true, false);
    }
    if (sourcePath.find(kReplacedName) != std::string::npos) {
        // Written under a free name first and moved over the old file once complete, so
        // a failure never costs the file it replaces.
        replaceTarget = sourcePath + g_morvaneFileExtension;
    }
    return CipherUtils::setFileExtension(sourcePath, g_morvaneFileExtension, false, false);
}

bool FileEncryptor::replaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

int FileEncryptor::checkSourceWritable() const {
    // Immutable, append-only or write-protected: its content could not be destroyed.
    const int fd = ::open(sourcePath.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return CMorvaneResult::systemErrorCode(errno);
    }
    ::close(fd);
    return kOK;
}

int FileEncryptor::chooseFittingOutputPath() {
    outputPath = chooseOutputPath();
    if (outputPath.empty()) {
        return CMorvaneResult::systemErrorCode(EEXIST);
    }
    return PathUtils::NameFits(outputPath) ? kOK : CMorvaneResult::systemErrorCode(ENAMETOOLONG);
}

int FileEncryptor::createOutput() {
    if (const int chosen = chooseFittingOutputPath(); chosen != kOK) {
        return chosen;
    }
    const std::string folder = PathUtils::FolderOf(sourcePath);
    const std::string temporary = temporaryNameFor(sourcePath, kTemporarySuffix);
    removeStaleTemporary(folder + "/" + temporary);
    const int error = output.create(folder, temporary, useUnnamedFiles);
    return error == 0 ? kOK : creationError(error);
}

int FileEncryptor::publishOutput() {
    // A name found free can be taken before the file gets it: then look again.
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        if (output.publish(outputPath)) {
            published = true;
            return kOK;
        }
        if (errno != EEXIST) {
            return creationError(errno);
        }
        if (const int chosen = chooseFittingOutputPath(); chosen != kOK) {
            return chosen;
        }
    }
    return CMorvaneResult::systemErrorCode(EEXIST);
}

void FileEncryptor::discardOutput() {
    output.discard();
    if (published) {
        ::unlink(outputPath.c_str());
        published = false;
    }
}

bool FileEncryptor::outputIsComplete(std::uint64_t expectedSize) const {
    struct stat st {};
    return output.isOpen() && CipherUtils::isEncrypted(output.get()) &&
           ::fstat(::fileno(output.get()), &st) == 0 &&
           static_cast<std::uint64_t>(st.st_size) == expectedSize;
}

int FileEncryptor::withdrawOutput(int error) {
    // Once it has replaced an older file, the new one is all there is: it stays.
    if (!replaceTarget.empty()) {
        std::fprintf(
            stderr, "Could not destroy the plain file %s after encrypting it: %s\n",
            sourcePath.c_str(),
            CMorvaneResult::getStringResult(CMorvaneResult::systemErrorCode(error)).c_str());
        return kOK;
    }
    discardOutput();
    (void)syncParentFolder(outputPath);
    return CMorvaneResult::systemErrorCode(error);
}

int FileEncryptor::destroySource() {
    struct stat st {};
    if (::lstat(sourcePath.c_str(), &st) != 0) {
        return kOK;
    }
    if (st.st_dev != sourceDevice || st.st_ino != sourceInode) {
        std::fprintf(stderr,
                     "The plain file %s was replaced while it was encrypted; the new file stays\n",
                     sourcePath.c_str());
        return kOK;
    }
    if (st.st_nlink > 1) {
        // The other names keep the content the user left there; only this one goes.
        return ::unlink(sourcePath.c_str()) == 0 ? kOK : withdrawOutput(errno);
    }
    switch (secureDelete->destroy(sourcePath)) {
        case CSecureDelete::Outcome::deleted:
            return kOK;
        case CSecureDelete::Outcome::untouched:
            // Nothing was overwritten: undo the encryption, so nothing changed.
            return withdrawOutput(errno);
        case CSecureDelete::Outcome::partlyOverwritten:
        case CSecureDelete::Outcome::notRemoved:
            // The encrypted file is complete and stays; the plain name must not.
            if (::unlink(sourcePath.c_str()) != 0) {
                const int error = errno;
                if (PathUtils::doesFileExist(sourcePath)) {
                    std::fprintf(stderr,
                                 "The plain file %s was encrypted, but it could not be removed: "
                                 "%s\n",
                                 sourcePath.c_str(), std::strerror(error));
                }
            }
            return kOK;
    }
    return kOK;
}

int FileEncryptor::processFile(std::string& path, std::string& hint, bool /*flag*/,
                               const std::string& /*destinationFolder*/) {
    sourcePath = path;
    published = false;
    if (!isConfigured()) {
        return kEncryptFailed;
    }
    mode_t permissions = 0;
    // A link would leave its target's plain content behind, so only the file itself.
    input.reset(openRegularFile(sourcePath, O_RDONLY | O_NOFOLLOW, "rb", &permissions));
    if (input == nullptr) {
        return CMorvaneResult::systemErrorCode(errno);
    }
    if (isEncrypted()) {
        input.reset();
        return kAlreadyEncrypted;
    }
    struct stat st {};
    if (::fstat(::fileno(input.get()), &st) != 0) {
        const int error = errno;
        input.reset();
        return CMorvaneResult::systemErrorCode(error);
    }
    sourceSize = static_cast<std::uint64_t>(st.st_size);
    sourceDevice = st.st_dev;
    sourceInode = st.st_ino;
    // With other names the content is not destroyed, so it need not be writable.
    int refused = st.st_nlink > 1 ? kOK : checkSourceWritable();
    if (refused == kOK && !CFileHeader::fitsTrailer(hint, PathUtils::FileNameOf(sourcePath).size(),
                                                    sourceSize, constraints)) {
        refused = kEncryptFailed;
    }
    if (refused == kOK) {
        refused = createOutput();
    }
    if (refused != kOK) {
        input.reset();
        outputPath.clear();
        return refused;
    }

    const std::uint64_t padded = sourceSize + (kPadBasis - sourceSize % kPadBasis) % kPadBasis;
    bool done = processData(hint) == kOK;
    input.reset();
    // The source's access for the others; the owner can always read and write it.
    done = done && output.finish((permissions & 0666) | 0600);
    done = done && outputIsComplete(padded + writtenSize);
    if (!done) {
        discardOutput();
        return kEncryptFailed;
    }
    if (const int placed = publishOutput(); placed != kOK) {
        discardOutput();
        return placed;
    }
    if (!replaceTarget.empty()) {
        if (!replaceFile(outputPath, replaceTarget)) {
            discardOutput();
            return kEncryptFailed;
        }
        outputPath = replaceTarget;
    }
    if (!syncParentFolder(outputPath)) {
        if (replaceTarget.empty()) {
            discardOutput();
        }
        return kEncryptFailed;
    }
    if (const int destroyed = destroySource(); destroyed != kOK) {
        return destroyed;
    }
    path = outputPath;
    return kOK;
}

int FileEncryptor::processData(std::string& hint) {
    writtenSize = 0;
    iv->generate();
    const std::uint64_t size = sourceSize;
    const auto padCount = static_cast<int>((kPadBasis - size % kPadBasis) % kPadBasis);
    if (std::fseek(input.get(), 0, SEEK_SET) != 0 ||
        mode->fileEncrypt(cipher.get(), size, padCount, input.get(), output.get(), iv.get()) != 1) {
        return kNoHeaderCreated;
    }

    std::string plain = PathUtils::FileNameOf(sourcePath);
    const std::string storedName = mode->stringEncrypt(plain, cipher.get(), iv.get());
    const auto strength = static_cast<std::size_t>(constraints.getKeyStrength());
    CFileHeader header(
        hint, checkDigest.get(), storedName, size, static_cast<std::uint32_t>(padCount),
        static_cast<std::uint32_t>(constraints.getMorvaneVersion()), constraints.getCipherType(),
        constraints.getKeyType(), constraints.getKeyStrength(), iv->toHex());
    const std::string digestText = CipherUtils::binaryToHex(checkDigest.get(), strength);
    const std::string headerText = header.getHeaderString();
    if (storedName.empty() ||
        digestText.size() + headerText.size() > CFileHeader::kMaxTrailerLength) {
        return kNoHeaderCreated;
    }
    if (!writeAll(output.get(), digestText) || !writeAll(output.get(), headerText)) {
        return kNoHeaderCreated;
    }
    writtenSize = digestText.size() + headerText.size();
    return kOK;
}

}  // namespace Morvane::Security
