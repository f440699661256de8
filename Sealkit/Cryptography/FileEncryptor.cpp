#include "Sealkit/Cryptography/FileEncryptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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

std::string plainName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeAll(FILE* file, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

}  // namespace

FileEncryptor::FileEncryptor(bool encryptFilename_, const std::string& password_,
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

int FileEncryptor::createOutput(mode_t permissions) {
    // A name found free can be taken before it is created: then look again.
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        outputPath = chooseOutputPath();
        if (outputPath.empty()) {
            return CMorvaneResult::systemErrorCode(EEXIST);
        }
        output.reset(createExclusiveFile(outputPath, permissions));
        if (output != nullptr) {
            return kOK;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    outputPath.clear();
    return kAccessDenied;
}

void FileEncryptor::discardOutput() {
    output.reset();
    if (!outputPath.empty()) {
        ::unlink(outputPath.c_str());
    }
}

bool FileEncryptor::outputIsComplete(std::uint64_t expectedSize) const {
    const FilePtr check(openRegularFile(outputPath, O_RDONLY | O_NOFOLLOW, "rb"));
    if (check == nullptr || !CipherUtils::isEncrypted(check.get())) {
        return false;
    }
    return static_cast<std::uint64_t>(::ftello(check.get())) == expectedSize;
}

void FileEncryptor::destroySource() {
    struct stat st {};
    if (::lstat(sourcePath.c_str(), &st) != 0) {
        return;
    }
    if (st.st_dev != sourceDevice || st.st_ino != sourceInode) {
        std::printf("The plain file %s was replaced while it was encrypted; the new file stays\n",
                    sourcePath.c_str());
        return;
    }
    if (secureDelete->deleteFile(sourcePath) || !PathUtils::doesFileExist(sourcePath)) {
        return;
    }
    // The encrypted file is complete and stays; the plain one must not.
    if (::unlink(sourcePath.c_str()) != 0 && PathUtils::doesFileExist(sourcePath)) {
        std::printf("Could not remove the plain file %s after encrypting it\n", sourcePath.c_str());
    }
}

int FileEncryptor::processFile(std::string& path, std::string& hint, bool /*flag*/,
                               const std::string& /*destinationFolder*/) {
    sourcePath = path;
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
    if (!CFileHeader::fitsTrailer(hint, plainName(sourcePath).size(), sourceSize, constraints)) {
        input.reset();
        return kEncryptFailed;
    }
    // The source's access for the others; the owner can always read and write it.
    if (const int created = createOutput((permissions & 0666) | 0600); created != kOK) {
        input.reset();
        return created;
    }

    const std::uint64_t padded = sourceSize + (kPadBasis - sourceSize % kPadBasis) % kPadBasis;
    bool done = processData(hint) == kOK;
    input.reset();
    done = done && flushAndSync(output.get());
    done = closeChecked(output) && done;
    done = done && outputIsComplete(padded + writtenSize);
    if (done && !replaceTarget.empty()) {
        done = replaceFile(outputPath, replaceTarget);
    }
    if (!done) {
        discardOutput();
        return kEncryptFailed;
    }
    if (!replaceTarget.empty()) {
        outputPath = replaceTarget;
    }
    if (!syncParentFolder(outputPath)) {
        // Once it has replaced the older file, the new one is all there is: it stays.
        if (replaceTarget.empty()) {
            discardOutput();
        }
        return kEncryptFailed;
    }
    path = outputPath;
    destroySource();
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

    std::string plain = plainName(sourcePath);
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
