#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/Cryptography/IBlockCipher.h"

namespace Morvane::Security {

// The text trailer at the end of every encrypted file: check digest, IV, hint, stored
// (encrypted) file name, sizes and the cipher configuration, ending in the four-digit
// trailer length, "," and "<qvx>". Builds the header text for the writer and parses it
// for the readers.
class CFileHeader {
  public:
    // The length field has four digits, so no trailer may be longer than this.
    static constexpr std::size_t kMaxTrailerLength = 9999;
    static constexpr int kMaxKeySize = 128;

    CFileHeader();
    // The record borrows digest; the writer keeps ownership.
    CFileHeader(const std::string& hint, unsigned char* digest, const std::string& fileName,
                std::uint64_t dataSize, std::uint32_t padding, std::uint32_t version,
                std::int32_t cipherType, std::int32_t keyType, std::int32_t keySize,
                const std::string& ivText);
    virtual ~CFileHeader();
    CFileHeader(const CFileHeader&) = delete;
    CFileHeader& operator=(const CFileHeader&) = delete;

    // The header text that follows the digest text. For version 4 and later this first
    // replaces the hint by its hex form, so build it once per record.
    std::string getHeaderString();

    // Whole trailer length (digest text included) of a file with these values: the
    // writer checks it against kMaxTrailerLength before it writes anything, because a
    // longer trailer could never be found again.
    [[nodiscard]] static std::size_t trailerLength(const std::string& hint,
                                                   std::size_t plainNameLength,
                                                   std::uint64_t dataSize,
                                                   const CCipherConstraints& constraints);
    [[nodiscard]] static bool fitsTrailer(const std::string& hint, std::size_t plainNameLength,
                                          std::uint64_t dataSize,
                                          const CCipherConstraints& constraints) {
        return trailerLength(hint, plainNameLength, dataSize, constraints) <= kMaxTrailerLength;
    }

    // Finds and parses the trailer of an open file. False, with the record unchanged,
    // when the file is shorter than the tail, the length field is not a number of at
    // least 1, the length exceeds the file, or the trailer cannot be read whole.
    [[nodiscard]] bool LoadFromFile(FILE* file);
    // Parses a zero-terminated trailer text (digest text and header text).
    void LoadFromRawData(const char* text);
    [[nodiscard]] bool testHeader(const std::string& path);

    [[nodiscard]] std::string getFileName() const { return fileName; }
    [[nodiscard]] std::uint64_t getDataSize() const { return dataSize; }
    [[nodiscard]] std::uint32_t getPaddingSize() const { return padding; }
    [[nodiscard]] std::uint32_t getVersion() const { return version; }
    [[nodiscard]] std::int32_t getCipherType() const { return cipherType; }
    [[nodiscard]] std::int32_t getKeyType() const { return keyType; }
    [[nodiscard]] std::string getIvHex() const { return ivText; }
    // 16 when the stored key size is 0.
    [[nodiscard]] std::int32_t getKeySize() const { return keySize == 0 ? 16 : keySize; }
    [[nodiscard]] std::int32_t getHeaderLength() const { return headerLength; }
    [[nodiscard]] unsigned char* getRawDigest() const { return digest; }
    // true: the record frees the digest (allocated with new[]); false: it lets go of it.
    void ownsDigest(bool owns);
    // The hint; for version 4 and later decoded from its hex form (the stored text
    // unchanged when it is not valid hex).
    [[nodiscard]] std::string getHint() const;

    // Decrypts the stored digest into out, which holds outLength bytes. False, with out
    // zeroed, when the trailer's key size is not outLength or the digest text was not
    // complete: the password check must then fail.
    [[nodiscard]] bool getDigest(unsigned char* out, int outLength, IBlockCipher* cipher) const;
    // The 16 IV bytes; zero where the IV text has no valid hex pair.
    void getIvBin(unsigned char* out) const;

    // Pieces between separators in order; an empty piece between adjacent separators is
    // kept, none follows a separator at the very end.
    static std::vector<std::string> split(const std::string& text, char separator);

  private:
    void parse(const std::string& trailer);
    static std::optional<std::vector<std::string>> anchoredFields(const std::string& trailer);
    void setDigest(std::unique_ptr<unsigned char[]> bytes);

    std::string hint;
    unsigned char* digest = nullptr;
    std::string fileName;
    std::uint64_t dataSize = 0;
    std::uint32_t padding = 0;
    std::uint32_t version = 6;
    std::int32_t cipherType = 0;
    std::int32_t keyType = 0;
    std::int32_t keySize = 0;
    std::int32_t reserved = 0;
    bool ownDigest = false;
    std::string ivText;
    char separator = ',';
    std::int32_t headerLength = 0;
    // True when the last parse decoded a whole digest of a key size the engine knows.
    bool digestComplete = false;
};

}  // namespace Morvane::Security
