#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "Sealkit/CipherConstraints.h"
#include "Sealkit/FileHeader/Convertor.h"
#include "Sealkit/FileHeader/FileHeader.h"
#include "support/HexText.h"
#include "support/TestFiles.h"

using Morvane::Security::CCipherConstraints;
using Morvane::Security::CFileHeader;
using Morvane::Utils::Convertor;

namespace {

const std::string kIv = "00112233445566778899AABBCCDDEEFF";
const std::string kName = "0123456789ABCDEF0123456789ABCDEF";

// Stands in for a block cipher: Decode XORs every byte, so a test sees it was applied.
class XorCipher : public IBlockCipher {
  public:
    explicit XorCipher(int block = 16) : block(block) {}
    void Initialize(const unsigned char*, int) override {}
    void Encode(const unsigned char* in, unsigned char* out, unsigned int n) const override {
        Decode(in, out, n);
    }
    void Decode(const unsigned char* in, unsigned char* out, unsigned int n) const override {
        for (unsigned int i = 0; i < n; ++i) {
            out[i] = in[i] ^ 0x5A;
        }
    }
    int getBlockSize() const override { return block; }

  private:
    int block;
};

std::string upperHex(const std::vector<unsigned char>& bytes) {
    std::string out = m2test::lowerHex(bytes.data(), bytes.size());
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// A file of some ciphertext-like bytes followed by the digest text and header text.
std::string writeEncryptedFile(const m2::test::TempDir& dir, const std::string& digestText,
                               const std::string& header, std::size_t body = 48) {
    const std::string path = dir / "file.m2p";
    m2::test::writeFile(path, m2::test::patternText(body) + digestText + header);
    return path;
}

bool loadFile(CFileHeader& header, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr);
    const bool loaded = header.LoadFromFile(file);
    std::fclose(file);
    return loaded;
}

TEST(FileHeader, HeaderTextOfTheDocumentedExample) {
    CFileHeader header("", nullptr, kName, 1000, 8, 6, 1, 2, 32, kIv);
    EXPECT_EQ(header.getHeaderString(), "," + kIv + ",," + kName + ",1000,8,6,1,2,32,,0 160,<qvx>");
}

TEST(FileHeader, HintIsStoredAsHexFromVersionFour) {
    const struct {
        std::uint32_t version;
        const char* field;
    } cases[] = {{2, "hint"}, {3, "hint"}, {4, "68696E74"}, {5, "68696E74"}, {6, "68696E74"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        CFileHeader header("hint", nullptr, kName, 5, 11, c.version, 1, 2, 32, kIv);
        const auto pieces = CFileHeader::split(header.getHeaderString(), ',');
        ASSERT_GE(pieces.size(), 3u);
        EXPECT_EQ(pieces[2], c.field);
    }
    // Bytes above 0x7F are written unsigned.
    CFileHeader high("\xC3\xA9", nullptr, kName, 5, 11, 6, 1, 2, 32, kIv);
    EXPECT_NE(high.getHeaderString().find(",C3A9,"), std::string::npos);
}

// Write a trailer as the encryptor lays it out, then read it back from the file.
TEST(FileHeader, RoundTripOfEveryVersion) {
    m2::test::TempDir dir;
    for (std::uint32_t version = 2; version <= 6; ++version) {
        for (int keySize : {16, 32}) {
            SCOPED_TRACE(testing::Message() << "version " << version << " key " << keySize);
            std::vector<unsigned char> digest(static_cast<std::size_t>(keySize));
            for (int i = 0; i < keySize; ++i) {
                digest[static_cast<std::size_t>(i)] = static_cast<unsigned char>(0x61 + i);
            }
            // A raw digest of an old file may hold "," and zero bytes.
            digest[3] = ',';
            digest[5] = '\0';
            const int cipherType = version < 3 ? 0 : 1;
            const int keyType = version < 3 ? 0 : 2;
            CFileHeader written("my, hint,", digest.data(), kName, 12345, 7, version, cipherType,
                                keyType, keySize, kIv);
            std::string header = written.getHeaderString();
            std::string digestText = upperHex(digest);
            if (version < 3) {
                // Old files carry the raw digest, and their length field counts it so.
                digestText.assign(digest.begin(), digest.end());
                char length[8];
                std::snprintf(length, sizeof length, "%4d",
                              static_cast<int>(digestText.size() + header.size()));
                header.replace(header.size() - 10, 4, length);
            }
            const std::string path = writeEncryptedFile(dir, digestText, header);

            CFileHeader read;
            ASSERT_TRUE(loadFile(read, path));
            EXPECT_EQ(read.getHeaderLength(), static_cast<int>(digestText.size() + header.size()));
            EXPECT_EQ(read.getIvHex(), kIv);
            EXPECT_EQ(read.getFileName(), kName);
            EXPECT_EQ(read.getDataSize(), 12345u);
            EXPECT_EQ(read.getPaddingSize(), 7u);
            EXPECT_EQ(read.getVersion(), version);
            EXPECT_EQ(read.getCipherType(), cipherType);
            EXPECT_EQ(read.getKeyType(), keyType);
            EXPECT_EQ(read.getKeySize(), keySize);
            EXPECT_EQ(read.getHint(), "my, hint,");  // commas in old plain hints too
            ASSERT_NE(read.getRawDigest(), nullptr);
            EXPECT_EQ(std::memcmp(read.getRawDigest(), digest.data(), digest.size()), 0);

            std::vector<unsigned char> decrypted(digest.size());
            XorCipher cipher;
            ASSERT_TRUE(read.getDigest(decrypted.data(), keySize, &cipher));
            EXPECT_EQ(decrypted[0], digest[0] ^ 0x5A);
            EXPECT_EQ(decrypted.back(), digest.back() ^ 0x5A);
        }
    }
}

TEST(FileHeader, ParsesLeadingBlanksAndTheEmptyHint) {
    const std::string digestText(64, 'A');
    const std::string trailer =
        digestText + "," + kIv + ",," + kName + ",0x10,0,6,1,2,32,,0 160,<qvx>";
    CFileHeader header;
    header.LoadFromRawData(trailer.c_str());
    EXPECT_EQ(header.getHint(), "");
    EXPECT_EQ(header.getFileName(), kName);
    EXPECT_EQ(header.getDataSize(), 16u);  // the base follows the prefix
    EXPECT_EQ(header.getKeySize(), 32);

    m2::test::TempDir dir;
    CFileHeader fromFile;
    ASSERT_TRUE(loadFile(fromFile, writeEncryptedFile(dir, "", trailer, 16)));
    EXPECT_EQ(fromFile.getHeaderLength(), 160);
}

TEST(FileHeader, KeySizeZeroReadsAsSixteen) {
    CFileHeader header;
    header.LoadFromRawData(
        (std::string(32, 'A') + "," + kIv + ",,,5,11,6,0,0,0,,0  100,<qvx>").c_str());
    EXPECT_EQ(header.getKeySize(), 16);
    std::vector<unsigned char> out(16, 0xEE);
    XorCipher cipher;
    // The stored size is 0, so the digest does not describe a 16-byte key.
    EXPECT_FALSE(header.getDigest(out.data(), 16, &cipher));
    EXPECT_EQ(out, std::vector<unsigned char>(16, 0));
}

TEST(FileHeader, LoadFromFileRefusesWhatIsNotATrailer) {
    m2::test::TempDir dir;
    const struct {
        const char* what;
        std::string content;
    } cases[] = {
        {"empty file", ""},
        {"shorter than the tail", "12,<qvx>"},
        {"zero length", "xxxxxxxx   0,<qvx>"},
        {"no number", "xxxxxxxxabcd,<qvx>"},
        {"negative", "xxxxxxxx  -5,<qvx>"},
        {"longer than the file", "xxxxxxxx  40,<qvx>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir / "bad.m2p";
        m2::test::writeFile(path, c.content);
        CFileHeader header("kept", nullptr, kName, 1, 2, 5, 1, 2, 32, kIv);
        EXPECT_FALSE(loadFile(header, path));
        EXPECT_EQ(header.getIvHex(), kIv);
        EXPECT_EQ(header.getVersion(), 5u);
        EXPECT_EQ(header.getHeaderLength(), 0);
    }
    // The length may cover the whole file.
    const std::string path = dir / "whole.m2p";
    m2::test::writeFile(path, "ab,cd,  16,<qvx>");
    CFileHeader header;
    EXPECT_TRUE(loadFile(header, path));
    EXPECT_EQ(header.getIvHex(), "cd");

    CFileHeader missing;
    EXPECT_FALSE(missing.testHeader(dir / "absent.m2p"));
    EXPECT_TRUE(missing.testHeader(path));
}

// Damaged key sizes and digest texts: nothing is read or written outside the buffers
// (the sanitizer build checks that) and the digest never matches.
TEST(FileHeader, DamagedDigestFieldsNeverMatch) {
    const std::string good(64, 'B');
    const struct {
        const char* what;
        std::string digestText;
        int keySize;
        int askedLength;
        int block;
    } cases[] = {
        {"negative key size", good, -1, 32, 16},
        {"key size above 128", std::string(400, 'B'), 200, 32, 16},
        {"key size not the strength", good, 32, 16, 16},
        {"key size not whole blocks", std::string(34, 'B'), 17, 17, 16},
        {"digest text too short", good.substr(0, 60), 32, 32, 16},
        {"digest text too long", good + "BB", 32, 32, 16},
        {"odd digest text", good.substr(0, 63), 32, 32, 16},
        {"non-hex digest", std::string(63, 'B') + "G", 32, 32, 16},
        {"no digest at all", "", 32, 32, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFileHeader header;
        const std::string trailer = c.digestText + "," + kIv + ",,," + "5,11,6,1,2," +
                                    std::to_string(c.keySize) + ",,0 200,<qvx>";
        header.LoadFromRawData(trailer.c_str());
        std::vector<unsigned char> out(static_cast<std::size_t>(c.askedLength), 0xEE);
        XorCipher cipher(c.block);
        EXPECT_FALSE(header.getDigest(out.data(), c.askedLength, &cipher));
        EXPECT_EQ(out, std::vector<unsigned char>(out.size(), 0));
    }
}

TEST(FileHeader, HintThatIsNotHexIsReturnedAsStored) {
    for (const char* stored : {"ABC", "68ZZ"}) {
        CFileHeader header;
        header.LoadFromRawData(
            (std::string(64, 'A') + "," + kIv + "," + stored + ",,5,11,6,1,2,32,,0 160,<qvx>")
                .c_str());
        EXPECT_EQ(header.getHint(), stored);
    }
}

TEST(FileHeader, IvBytes) {
    const struct {
        std::string text;
        std::vector<unsigned char> first;  // the rest are zero
    } cases[] = {
        {kIv, {0x00, 0x11, 0x22}},
        {"abCD", {0xAB, 0xCD, 0x00}},
        {"12G4", {0x12, 0x00, 0x00}},
        {kIv + kIv, {0x00, 0x11, 0x22}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CFileHeader header("", nullptr, "", 0, 0, 6, 1, 2, 32, c.text);
        std::vector<unsigned char> out(17, 0xEE);
        header.getIvBin(out.data());
        EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 3), c.first);
        EXPECT_EQ(out[16], 0xEE) << "wrote past 16 bytes";
    }
}

TEST(FileHeader, Split) {
    using V = std::vector<std::string>;
    const struct {
        std::string text;
        V pieces;
    } cases[] = {
        {"", V{}},          {"a", V{"a"}},  {"a,b", V{"a", "b"}}, {"a,,b", V{"a", "", "b"}},
        {",a", V{"", "a"}}, {"a,", V{"a"}}, {"a,,", V{"a", ""}},  {",", V{""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CFileHeader::split(c.text, ','), c.pieces) << c.text;
    }
}

TEST(FileHeader, HexAsciiToBinary) {
    const struct {
        std::string hex;
        bool ok;
        std::vector<unsigned char> bytes;  // what was written before any failure
    } cases[] = {
        {"", true, {}},     {"00ff7A", true, {0x00, 0xFF, 0x7A}},
        {"ABC", false, {}}, {"12G4", false, {0x12}},
        {"zz", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        std::vector<unsigned char> out(c.hex.size() / 2 + 1, 0xEE);
        EXPECT_EQ(Convertor::HexAsciiToBinary(c.hex.data(), out.data(), c.hex.size()), c.ok);
        EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + c.bytes.size()), c.bytes);
    }
}

TEST(FileHeader, TrailerLengthAgreesWithTheBuiltTrailer) {
    CCipherConstraints user;
    user.CreateUserConstraint();
    for (const std::string hint : {"", "hint", "a longer hint with spaces"}) {
        for (std::size_t nameLength : {0u, 5u, 14u, 15u, 200u}) {
            for (std::uint64_t size : {0ull, 15ull, 1000ull, 18446744073709551615ull}) {
                const std::size_t hexName = 2 * ((nameLength + 2 + 15) / 16 * 16);
                CFileHeader header(hint, nullptr, std::string(hexName, 'A'), size,
                                   static_cast<std::uint32_t>((16 - size % 16) % 16), 6, 1, 2, 32,
                                   kIv);
                const std::string text = header.getHeaderString();
                EXPECT_EQ(CFileHeader::trailerLength(hint, nameLength, size, user),
                          text.size() + 64);
                char length[8];
                std::snprintf(length, sizeof length, "%4d", static_cast<int>(text.size() + 64));
                EXPECT_EQ(text.substr(text.size() - 10, 4), length);
            }
        }
    }
    // A hint of about 4.6 KB still fits with the longest file name and size; more does not.
    const std::uint64_t largest = 18446744073709551615ull;
    EXPECT_TRUE(CFileHeader::fitsTrailer(std::string(4600, 'h'), 255, largest, user));
    EXPECT_FALSE(CFileHeader::fitsTrailer(std::string(4750, 'h'), 255, largest, user));
    EXPECT_FALSE(CFileHeader::fitsTrailer(std::string(6000, 'h'), 1, 0, user));
}

}  // namespace

namespace {

// Damaged trailers of every shape: commas and digits dropped in, bytes cut away. The
// record must stay within its buffers (the sanitizer build checks) and a digest that
// is reported usable must be a whole one.
TEST(FileHeader, MutatedTrailersStayInBounds) {
    CFileHeader written("a hint", nullptr, kName, 1000, 8, 6, 1, 2, 32, kIv);
    const std::string valid = std::string(64, 'C') + written.getHeaderString();
    const char replacements[] = {',', '0', '9', ' ', 'x', '\0', '-'};
    std::uint32_t seed = 7;
    auto next = [&seed](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    m2::test::TempDir dir;
    for (int trial = 0; trial < 3000; ++trial) {
        std::string text = valid;
        const std::uint32_t edits = 1 + next(4);
        for (std::uint32_t e = 0; e < edits && !text.empty(); ++e) {
            const std::size_t at = next(static_cast<std::uint32_t>(text.size()));
            switch (next(3)) {
                case 0:
                    text[at] = replacements[next(sizeof replacements)];
                    break;
                case 1:
                    text.erase(at, 1 + next(8));
                    break;
                default:
                    text.insert(at, 1, replacements[next(sizeof replacements)]);
                    break;
            }
        }
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        const std::string path = dir / "mutated.m2p";
        m2::test::writeFile(path, text);
        CFileHeader header;
        if (!loadFile(header, path)) {
            header.LoadFromRawData(text.c_str());
        }
        (void)header.getHint();
        unsigned char iv[16];
        header.getIvBin(iv);
        std::vector<unsigned char> out(32);
        XorCipher cipher;
        if (header.getDigest(out.data(), 32, &cipher)) {
            EXPECT_EQ(header.getKeySize(), 32);
        }
    }
}

}  // namespace
