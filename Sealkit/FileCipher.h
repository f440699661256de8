#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/IBlockCipher.h"
#include "Sealkit/Cryptography/ICipherMode.h"
#include "Sealkit/Cryptography/IV.h"
#include "Sealkit/Cryptography/Secret.h"
#include "Sealkit/FileAccess.h"
#include "Sealkit/OutputFile.h"
#include "Shredder/SecureDelete.h"

namespace Morvane::Security {

class CipherFactory;
class KeyFactory;
class ModeFactory;

// The common base of the two file pipelines: the password, the key derived from it for
// one configuration, the check digest and the cipher objects of that configuration.
class FileCipher {
  public:
    // Configured at once with the given constraints (the encryptor).
    FileCipher(bool encryptFilename, std::string_view password, CCipherConstraints& constraints);
    // Not configured until the first setConstraints (the decryptor).
    FileCipher(bool encryptFilename, std::string_view password);
    virtual ~FileCipher();
    FileCipher(const FileCipher&) = delete;
    FileCipher& operator=(const FileCipher&) = delete;

    // Processes the file at path; path is updated as each pipeline documents.
    [[nodiscard]] virtual int processFile(std::string& path, std::string& hint, bool flag,
                                          const std::string& destinationFolder) = 0;

    // Builds the cipher, mode, key and check digest of a configuration. For key type 1
    // the key factory rewrites the constraints to key type 0, strength 16. False (and
    // not configured) when the configuration asks for key bytes the key does not define
    // or for a cipher that does not exist.
    [[nodiscard]] bool setConstraints(CCipherConstraints& constraints);
    [[nodiscard]] bool isConfigured() const { return key != nullptr; }
    [[nodiscard]] const CCipherConstraints& getConstraints() const { return constraints; }

    // The trailer marker test on the open input.
    [[nodiscard]] bool isEncrypted() const;
    [[nodiscard]] std::string getObfuscatedFileName() const { return name; }
    [[nodiscard]] std::string getObfuscatedFilePath() const { return outputPath; }

  protected:
    virtual int processData(std::string& hint) = 0;

    // The name of the temporary file written for document where unnamed files are not
    // available: the document's name followed by suffix, or, when that would be too long
    // for the folder, a short name derived from it. Always the same for one document, so
    // a leftover of an interrupted run is found again.
    [[nodiscard]] static std::string temporaryNameFor(const std::string& document,
                                                      const std::string& suffix);
    // Securely deletes what an interrupted run left at path, if it is this program's.
    void removeStaleTemporary(const std::string& path);

    FilePtr input;
    OutputFile output;
    std::string name;
    std::string outputPath;
    bool encryptFilename;
    std::unique_ptr<IBlockCipher> cipher;
    Secret password;
    std::unique_ptr<unsigned char[]> key;
    std::unique_ptr<unsigned char[]> checkDigest;
    std::unique_ptr<CipherFactory> cipherFactory;
    CCipherConstraints constraints;
    std::unique_ptr<KeyFactory> keyFactory;
    std::unique_ptr<CSecureDelete> secureDelete;
    std::unique_ptr<ICipherMode> mode;
    std::unique_ptr<ModeFactory> modeFactory;
    std::unique_ptr<IV> iv;
    bool failIfDestinationExists = false;
    bool keepSource = false;
    std::string reserved;
    std::string sourcePath;
    int keyDerivations = 0;  // how often setConstraints derived a key
    // Write outputs as unnamed files where the file system allows it; tests turn it off
    // to cover the named temporary used elsewhere.
    bool useUnnamedFiles = true;
};

}  // namespace Morvane::Security
