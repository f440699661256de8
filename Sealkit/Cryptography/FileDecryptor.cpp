#include "Sealkit/Cryptography/FileDecryptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "Sealkit/CipherUtils.h"
#include "Sealkit/Cryptography/Wipe.h"
#include "Sealkit/FileHeader/Convertor.h"
#include "Sealkit/MorvaneResult.h"
#include "Sealkit/PathUtils.h"

namespace Morvane::Security {

namespace {

constexpr std::uint32_t kNewestVersion = 6;
constexpr std::uint32_t kFirstCbcVersion = 3;
constexpr std::size_t kIvHexDigits = 32;
constexpr std::uint64_t kMaxPadding = 16;  // the writer pads to whole blocks of 16
constexpr std::size_t kMaxNameBytes = 255;
constexpr int kMoveAttempts = 16;
const std::string kTemporaryExtension = ".cdf";

bool isIvText(const std::string& text) {
    if (text.size() != kIvHexDigits) {
        return false;
    }
    for (const char c : text) {
        if (Morvane::Utils::Convertor::hexDigitValue(c) < 0) {
            return false;
        }
    }
    return true;
}

// One non-empty path component: a crafted trailer must not write outside the folder.
bool isPlainName(const std::string& name) {
    return !name.empty() && name.size() <= kMaxNameBytes && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace

FileDecryptor::FileDecryptor(bool encryptFilename_, std::string_view password_)
    : FileCipher(encryptFilename_, password_) {}

bool FileDecryptor::placeOutput(const std::string& to) {
    return output.publish(to);
}

std::string FileDecryptor::plainFileName(const std::string& encryptedPath) const {
    if (isPlainName(name)) {
        return name;
    }
    const std::string own = PathUtils::FileNameOf(encryptedPath);
    const auto& ext = g_morvaneFileExtension;
    if (own.size() > ext.size() && own.compare(own.size() - ext.size(), ext.size(), ext) == 0) {
        const std::string stem = own.substr(0, own.size() - ext.size());
        if (isPlainName(stem)) {
            return stem;
        }
    }
    return own;
}

void FileDecryptor::destroyTemporary() {
    // The plain data goes before the file does, named or not.
    struct stat st {};
    if (output.isOpen() && ::fstat(::fileno(output.get()), &st) == 0 &&
        (std::fflush(output.get()) != 0 || std::fseek(output.get(), 0, SEEK_SET) != 0 ||
         !secureDelete->SecureOverwrite(output.get(), static_cast<std::uint64_t>(st.st_size)) ||
         !flushAndSync(output.get()))) {
        std::fprintf(stderr, "Could not overwrite the temporary plain file in %s\n",
                     outputPath.c_str());
    }
    output.discard();
}

int FileDecryptor::createDestinationFile(std::string& path, const std::string& /*folder*/) {
    const std::string folder = PathUtils::FolderOf(path);
    const std::string temporary = temporaryNameFor(path, kTemporaryExtension);
    removeStaleTemporary(folder + "/" + temporary);
    if (const int error = output.create(folder, temporary, useUnnamedFiles); error != 0) {
        return CMorvaneResult::systemErrorCode(error);
    }
    path += kTemporaryExtension;
    return kOK;
}

int FileDecryptor::moveToCopyName(const std::string& destination, std::string& tempPath) {
    const std::string extension = PathUtils::GetFileExtension(destination);
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        const std::string copy = CipherUtils::setFileExtension(destination, extension, true, true);
        if (copy.empty()) {
            break;
        }
        if (!PathUtils::NameFits(copy)) {
            return CMorvaneResult::systemErrorCode(ENAMETOOLONG);
        }
        if (placeOutput(copy)) {
            tempPath = copy;
            return kRenamedCopy;
        }
        if (errno != EEXIST) {
            return CMorvaneResult::systemErrorCode(errno);
        }
    }
    return CMorvaneResult::systemErrorCode(EEXIST);
}

int FileDecryptor::checkDestinationFile(const std::string& destination, std::string& tempPath,
                                        bool overwrite) {
    if (PathUtils::doesFileExist(destination)) {
        if (!overwrite) {
            return failIfDestinationExists ? kDestinationExists
                                           : moveToCopyName(destination, tempPath);
        }
        ::unlink(destination.c_str());
    }
    if (placeOutput(destination)) {
        return kOK;
    }
    if (errno == EEXIST) {
        return moveToCopyName(destination, tempPath);
    }
    return CMorvaneResult::systemErrorCode(errno);
}

int FileDecryptor::processFile(std::string& path, std::string& hint, bool overwrite,
                               const std::string& destinationFolder) {
    const std::string encryptedPath = path;
    input.reset(openRegularFile(path, O_RDONLY, "rb", &encryptedPermissions));
    if (input == nullptr) {
        return CMorvaneResult::systemErrorCode(errno);
    }
    struct stat st {};
    if (!isEncrypted() || ::fstat(::fileno(input.get()), &st) != 0) {
        input.reset();
        return kNotEncrypted;
    }
    inputSize = static_cast<std::uint64_t>(st.st_size);
    header = std::make_unique<CFileHeader>();
    if (!header->LoadFromFile(input.get())) {
        input.reset();
        return kPasswordIncorrect;
    }
    // The stored hint, whatever happens to the decryption itself.
    hint = header->getHint();
    CCipherConstraints fileConstraints = CipherUtils::constraintsOf(*header);
    int refusal = kOK;
    if (header->getVersion() > kNewestVersion) {
        refusal = kNewerVersion;
    } else if (header->getVersion() >= kFirstCbcVersion && !isIvText(header->getIvHex())) {
        refusal = kDecryptFailed;
    } else if ((!isConfigured() || !(fileConstraints == constraints)) &&
               !setConstraints(fileConstraints)) {
        // A trailer asking for key bytes no key defines cannot match any password.
        refusal = kPasswordIncorrect;
    }
    if (refusal != kOK) {
        input.reset();
        return refusal;
    }

    if (const int created = createDestinationFile(path, destinationFolder); created != kOK) {
        input.reset();
        return created;
    }
    const std::string tempPath = path;
    outputPath = PathUtils::FolderOf(encryptedPath);
    if (const int result = processData(hint); result != kOK) {
        destroyTemporary();
        return result;
    }
    const std::string destination = outputPath + "//" + plainFileName(encryptedPath);
    const int placed = checkDestinationFile(destination, path, overwrite);
    if (placed != kOK && placed != kRenamedCopy) {
        destroyTemporary();
        path = tempPath;
        return placed;
    }
    if (placed == kOK) {
        path = destination;
    }
    // The encrypted file goes only once the plain file's name is on disk.
    if (!syncParentFolder(path) || ::unlink(encryptedPath.c_str()) != 0) {
        std::fprintf(stderr, "Could not remove the encrypted file %s after decrypting it\n",
                     encryptedPath.c_str());
    }
    return placed;
}

int FileDecryptor::processData(std::string& /*hint*/) {
    name = header->getFileName();
    const auto strength = static_cast<std::size_t>(constraints.getKeyStrength());
    std::vector<unsigned char> digest(strength);
    const bool passwordMatches =
        header->getDigest(digest.data(), static_cast<int>(strength), cipher.get()) &&
        CipherUtils::checkHash(digest.data(), key.get(), constraints);
    wipe(digest.data(), digest.size());

    int result = kPasswordIncorrect;
    if (passwordMatches) {
        iv->setIV(header->getIvHex());
        result = decryptContent();
        std::string stored = name;
        name = mode->stringDecrypt(stored, cipher.get(), iv.get());
    }
    input.reset();

    // The encrypted file's access for the others; the owner can always read and write.
    const bool synced = output.finish((encryptedPermissions & 0666) | 0600);
    const bool marked = CipherUtils::isEncrypted(output.get());
    if (result == kOK && !synced) {
        result = kDecryptFailed;
    }
    return (result == kOK && marked) ? kHeaderNotRemoved : result;
}

int FileDecryptor::decryptContent() {
    const auto trailer = static_cast<std::uint64_t>(header->getHeaderLength());
    const std::uint64_t cipherLength = inputSize - trailer;
    // A plain size beyond the ciphertext would come back zero-extended; one that leaves more
    // than a block of padding of it out would come back cut short, and the encrypted file,
    // removed after decryption, holds the rest.
    if (trailer > inputSize || header->getDataSize() > cipherLength ||
        cipherLength - header->getDataSize() > kMaxPadding ||
        std::fseek(input.get(), 0, SEEK_SET) != 0) {
        return kDecryptFailed;
    }
    if (!mode->fileDecrypt(cipher.get(), cipherLength, 0, input.get(), output.get(), iv.get())) {
        return kDecryptFailed;
    }
    const bool cut =
        std::fflush(output.get()) == 0 &&
        ::ftruncate(::fileno(output.get()), static_cast<off_t>(header->getDataSize())) == 0;
    return cut ? kOK : kDecryptFailed;
}

}  // namespace Morvane::Security
