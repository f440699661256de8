#pragma once

// The only way application code reaches the cipher engine. Texts cross it as UTF-8 byte
// strings both ways; nothing throws across it.

#include <memory>
#include <string>

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
    [[nodiscard]] std::string text() const;
};

// Encrypts files one after another under one password (AES, SHA-256 key, version 6).
class Encryptor {
  public:
    // constraint: the password; hint: not used (each file takes its own).
    Encryptor(const std::string& constraint, const std::string& hint, bool encryptFilename,
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
    [[nodiscard]] std::string encryptString(const std::string& text, const std::string& password);

  private:
    std::unique_ptr<Morvane::Security::FileEncryptor> encryptor;
};

// Decrypts files of any supported version one after another under one password.
class Decryptor {
  public:
    // constraint: the password; hint: not used.
    Decryptor(const std::string& constraint, const std::string& hint);
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
    [[nodiscard]] std::string createKey(const std::string& path);
};

// Securely deletes files.
class Shredder {
  public:
    // True when the file was overwritten, synced and removed. A file with other hard links
    // is left as it is (false): the other names' content is not this one's to destroy.
    [[nodiscard]] bool shredFile(const std::string& path);
};
