#pragma once

#include <cstdint>

namespace Morvane::Security {

// Which cipher, key derivation and format version one encryption or decryption uses.
// The encryptor always uses the user constraint; the decryptor takes the values from
// each file's trailer.
class CCipherConstraints {
  public:
    CCipherConstraints() = default;
    // An invalid triple silently becomes the user constraint (1, 2, 32, 6), the given
    // version included; a valid triple keeps whatever version was given.
    CCipherConstraints(int cipherType, int keyType, int keyStrength, int version);

    // Returns true when the fields were invalid and have been replaced by the user
    // constraint; false when they were valid and nothing changed.
    bool validate();
    void CreateUserConstraint();

    [[nodiscard]] int getKeyLength() const;
    [[nodiscard]] int getBlockSize() const;

    bool operator==(const CCipherConstraints& other) const;

    [[nodiscard]] int getCipherType() const { return cipherType; }
    [[nodiscard]] int getKeyType() const { return keyType; }
    [[nodiscard]] int getKeyStrength() const { return keyStrength; }
    [[nodiscard]] int getMorvaneVersion() const { return version; }
    [[nodiscard]] int getMode() const { return mode; }
    [[nodiscard]] std::uint64_t getFileSize() const { return fileSize; }

    void setCipherType(int value) { cipherType = value; }
    void setKeyType(int value) { keyType = value; }
    void setStrength(int value) { keyStrength = value; }
    void setVersion(int value) { version = value; }
    void setMode(int value) { mode = value; }
    void setFileSize(std::uint64_t value) { fileSize = value; }

    static bool isValid(int cipherType, int keyType, int keyStrength);

  private:
    std::int32_t cipherType = 0;   // 0 = Blowfish, 1 = AES
    std::int32_t keyType = 0;      // 0 = MD5 variant, 1 = legacy MD5, 2 = SHA-256
    std::int32_t keyStrength = 0;  // key bytes: 16, 32, 64 or 128
    std::int32_t version = 0;      // file-format version
    std::int32_t mode = 0;         // carried, never interpreted
    std::uint64_t fileSize = 0;    // plain size from a trailer, never interpreted
};

}  // namespace Morvane::Security
