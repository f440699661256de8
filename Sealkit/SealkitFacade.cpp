#include "Sealkit/SealkitFacade.h"

#include <cstdio>
#include <memory>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/CipherUtils.h"
#include "Sealkit/Cryptography/FileDecryptor.h"
#include "Sealkit/Cryptography/FileEncryptor.h"
#include "Sealkit/FileHeader/FileHeader.h"
#include "Sealkit/MorvaneResult.h"
#include "Shredder/SecureDelete.h"

using Morvane::Security::CMorvaneResult;

namespace {

SealkitOutcome outcomeOf(int code, bool succeeded, const std::string& path) {
    return {succeeded ? SealkitOutcome::Status::ok : SealkitOutcome::Status::fail,
            CMorvaneResult::getStringResult(code), path, code};
}

}  // namespace

std::string SealkitOutcome::text() const {
    return (status == Status::ok ? "ok," : "fail,") + message + "," + path;
}

Encryptor::Encryptor(std::string_view constraint, const std::string& /*hint*/, bool encryptFilename,
                     bool hideExtension) {
    Morvane::Security::CCipherConstraints user;
    user.CreateUserConstraint();
    encryptor =
        std::make_unique<Morvane::Security::FileEncryptor>(encryptFilename, constraint, user);
    encryptor->setHideExtension(hideExtension);
}

Encryptor::~Encryptor() = default;

SealkitOutcome Encryptor::encryptFileOutcome(const std::string& path, const std::string& hint) {
    std::string file = path;
    std::string storedHint = hint;
    const int code = encryptor->processFile(file, storedHint, false, std::string());
    return outcomeOf(code, code == Morvane::Security::kOK, file);
}

std::string Encryptor::encryptFile(const std::string& path, const std::string& hint) {
    return encryptFileOutcome(path, hint).text();
}

std::string Encryptor::encryptString(const std::string& /*text*/, std::string_view /*password*/) {
    return {};
}

Decryptor::Decryptor(std::string_view constraint, const std::string& /*hint*/)
    : decryptor(std::make_unique<Morvane::Security::FileDecryptor>(false, constraint)) {}

Decryptor::~Decryptor() = default;

SealkitOutcome Decryptor::decryptFileOutcome(const std::string& path, const std::string& hint) {
    using namespace Morvane::Security;
    std::string file = path;
    std::string storedHint = hint;
    const int code = decryptor->processFile(file, storedHint, false, std::string());
    const bool succeeded = code == kOK || code == kFileEmpty || code == kRenamedCopy;
    return outcomeOf(code, succeeded, file);
}

std::string Decryptor::decryptFile(const std::string& path, const std::string& hint) {
    return decryptFileOutcome(path, hint).text();
}

Morvane::Security::Secret Keyfile::createKey(const std::string& path) {
    return Morvane::Security::CipherUtils::createKeyfileData(path);
}

bool Shredder::shredFile(const std::string& path) {
    Morvane::Security::CSecureDelete shredder(1);
    return shredder.deleteFile(path);
}

namespace {

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

// The trailer of the open file; false for a file whose tail is not one.
bool loadTrailer(FILE* file, Morvane::Security::CFileHeader& header) {
    if (file == nullptr || !header.LoadFromFile(file)) {
        return false;
    }
    // A trailer is only one when it ends in its marker; anything else is a foreign file.
    const std::string marker = ",<qvx>";
    std::string tail(marker.size(), '\0');
    return std::fseek(file, -static_cast<long>(marker.size()), SEEK_END) == 0 &&
           std::fread(tail.data(), 1, tail.size(), file) == tail.size() && tail == marker;
}

}  // namespace

bool SealkitOutcome::passwordRefused() const {
    return code == Morvane::Security::kPasswordIncorrect;
}

std::optional<std::string> readStoredHint(const std::string& path) {
    FilePtr file(std::fopen(path.c_str(), "rb"), &std::fclose);
    Morvane::Security::CFileHeader header;
    if (!loadTrailer(file.get(), header)) {
        return std::nullopt;
    }
    return header.getHint();
}

std::optional<StoredContent> readStoredContent(const std::string& path) {
    FilePtr file(std::fopen(path.c_str(), "rb"), &std::fclose);
    Morvane::Security::CFileHeader header;
    if (!loadTrailer(file.get(), header) || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return std::nullopt;
    }
    const long size = std::ftell(file.get());
    if (size < header.getHeaderLength()) {
        return std::nullopt;
    }
    return StoredContent{header.getDataSize(),
                         static_cast<std::uint64_t>(size - header.getHeaderLength())};
}
