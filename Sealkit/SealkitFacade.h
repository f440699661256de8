#pragma once

// The only way application code reaches the cipher engine. Texts cross it as UTF-8 byte
// strings both ways; nothing throws across it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Sealkit/Cryptography/Secret.h"

namespace Morvane::Security {
class FileEncryptor;
class FileDecryptor;
}  // namespace Morvane::Security

// One file operation's outcome. text() gives the result text "ok" or "fail", ",", the
// message, ",", the path; callers that need the pieces use the fields, since messages
// and paths can contain commas.
struct SealkitOutcome {
    enum class Status { ok, fail };

    Status status = Status::fail;
    std::string message;
    std::string path;
    int code = 0;  // the engine's result code

    [[nodiscard]] bool succeeded() const { return status == Status::ok; }
    // The password check itself failed: the file's own digest does not match the key.
    [[nodiscard]] bool passwordRefused() const;
    [[nodiscard]] std::string text() const;
};

// Encrypts files one after another under one password (AES, SHA-256 key, version 6).
class Encryptor {
  public:
    // constraint: the password; hint: not used (each file takes its own).
    Encryptor(std::string_view constraint, const std::string& hint, bool encryptFilename,
              bool hideExtension);
    ~Encryptor();
    Encryptor(const Encryptor&) = delete;
    Encryptor& operator=(const Encryptor&) = delete;

    // Encrypts path into a ".m2p" file beside it and securely deletes the plain file; the
    // result path is the encrypted file on success, the given path otherwise. A plain file
    // that cannot be overwritten is not encrypted; one with other hard links loses only
    // this name. The ".m2p" appears only once it is complete.
    [[nodiscard]] std::string encryptFile(const std::string& path, const std::string& hint);
    [[nodiscard]] SealkitOutcome encryptFileOutcome(const std::string& path,
                                                    const std::string& hint);
    // Always an empty text.
    [[nodiscard]] std::string encryptString(const std::string& text, std::string_view password);

  private:
    std::unique_ptr<Morvane::Security::FileEncryptor> encryptor;
};

// Decrypts files of any supported version one after another under one password.
class Decryptor {
  public:
    // constraint: the password; hint: not used.
    Decryptor(std::string_view constraint, const std::string& hint);
    ~Decryptor();
    Decryptor(const Decryptor&) = delete;
    Decryptor& operator=(const Decryptor&) = delete;

    // Decrypts path back into the plain file beside it and removes the encrypted file.
    // Success ("ok", also for a copy name when the plain name was taken) gives the plain
    // file as folder + "//" + name; a failure after the temporary file was set up gives
    // path + ".cdf", an earlier one the given path.
    [[nodiscard]] std::string decryptFile(const std::string& path, const std::string& hint);
    [[nodiscard]] SealkitOutcome decryptFileOutcome(const std::string& path,
                                                    const std::string& hint);

  private:
    std::unique_ptr<Morvane::Security::FileDecryptor> decryptor;
};

// Turns a key file into key text.
class Keyfile {
  public:
    // 64 lower-case hex digits of the SHA-256 of the file's first 2048 bytes, or
    // "Error, could not create keyfile".
    [[nodiscard]] Morvane::Security::Secret createKey(const std::string& path);
};

// Securely deletes files.
class Shredder {
  public:
    // True when the file was overwritten, synced and removed. A file with other hard links
    // is left as it is (false): the other names' content is not this one's to destroy.
    [[nodiscard]] bool shredFile(const std::string& path);
};

// The hint an encrypted file keeps in its trailer, read without the password; std::nullopt
// when the file cannot be read or has no trailer. Whoever seals an edited copy again gives it
// this hint, so the owner's hint survives the edit.
[[nodiscard]] std::optional<std::string> readStoredHint(const std::string& path);

// What an encrypted file's trailer says of its content, read without the password.
struct StoredContent {
    std::uint64_t plainSize = 0;     // the plain size the trailer holds
    std::uint64_t cipherLength = 0;  // the bytes before the trailer

    // The ciphertext is what the plain size needs: never shorter, and at most one block of
    // padding longer. Anything else is a damaged file whose decryption would cut or invent data.
    [[nodiscard]] bool sizesAgree() const {
        return cipherLength >= plainSize && cipherLength - plainSize <= 16;
    }
};
// std::nullopt when the file cannot be read or has no trailer (too short, or not in the
// encrypted format at all).
[[nodiscard]] std::optional<StoredContent> readStoredContent(const std::string& path);
