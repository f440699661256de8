#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Sealkit/Cryptography/AesCipher.h"
#include "Sealkit/Cryptography/Blowfish.h"
#include "Sealkit/Cryptography/CBCMode.h"
#include "Sealkit/Cryptography/ECBMode.h"
#include "Sealkit/Cryptography/IV.h"
#include "support/CommandOutput.h"
#include "support/Hex.h"
#include "support/TestFiles.h"

using Morvane::Security::Blowfish;
using Morvane::Security::CBCMode;
using Morvane::Security::ECBMode;
using Morvane::Security::ICipherMode;

namespace {

const std::string kAesKeyHex = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
const std::string kIvHex = "000102030405060708090A0B0C0D0E0F";

std::string bytesOf(const std::string& hex) {
    const auto v = m2test::fromHex(hex);
    return {v.begin(), v.end()};
}

std::string upper(std::string hex) {
    for (char& c : hex) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return hex;
}

std::string hexOf(const std::string& bytes) {
    return upper(
        m2test::lowerHex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
}

// AES seen only through the interface, so the mode takes its block-at-a-time path.
class InterfaceOnly : public IBlockCipher {
  public:
    void Initialize(const unsigned char* key, int length) override { aes.Initialize(key, length); }
    void Encode(const unsigned char* in, unsigned char* out, unsigned length) const override {
        aes.Encode(in, out, length);
    }
    void Decode(const unsigned char* in, unsigned char* out, unsigned length) const override {
        aes.Decode(in, out, length);
    }
    int getBlockSize() const override { return 16; }

  private:
    AesCipher aes{AesCipher::Backend::Portable};
};

struct Variant {
    std::string name;
    std::function<std::unique_ptr<IBlockCipher>()> make;
    bool needsHardware = false;
};

std::unique_ptr<IBlockCipher> keyed(std::unique_ptr<IBlockCipher> c, const std::string& keyHex) {
    const auto key = m2test::fromHex(keyHex);
    c->Initialize(key.data(), static_cast<int>(key.size()));
    return c;
}

const Variant kAesVariants[] = {
    {"AesPortable",
     [] { return keyed(std::make_unique<AesCipher>(AesCipher::Backend::Portable), kAesKeyHex); }},
    {"AesHardware",
     [] { return keyed(std::make_unique<AesCipher>(AesCipher::Backend::Hardware), kAesKeyHex); },
     true},
    {"AesBlockAtATime", [] { return keyed(std::make_unique<InterfaceOnly>(), kAesKeyHex); }},
};

std::unique_ptr<IBlockCipher> blowfish() {
    return keyed(std::make_unique<Blowfish>(), "00112233445566778899aabbccddeeff");
}

// CBC from the cipher's single-block Encode/Decode, independent of the modes.
std::string referenceCbc(const IBlockCipher& cipher, const std::string& data, bool decrypt) {
    const auto n = static_cast<std::size_t>(cipher.getBlockSize());
    std::string chain = bytesOf(kIvHex).substr(0, n), out(data.size(), '\0');
    for (std::size_t off = 0; off < data.size(); off += n) {
        auto* o = reinterpret_cast<unsigned char*>(out.data() + off);
        const auto* in = reinterpret_cast<const unsigned char*>(data.data() + off);
        std::string block(n, '\0');
        auto* b = reinterpret_cast<unsigned char*>(block.data());
        if (decrypt) {
            cipher.Decode(in, b, static_cast<unsigned>(n));
            for (std::size_t i = 0; i < n; ++i)
                o[i] = b[i] ^ static_cast<unsigned char>(chain[i]);
            chain = data.substr(off, n);
        } else {
            for (std::size_t i = 0; i < n; ++i)
                b[i] = in[i] ^ static_cast<unsigned char>(chain[i]);
            cipher.Encode(b, o, static_cast<unsigned>(n));
            chain = out.substr(off, n);
        }
    }
    return out;
}

int padFor(std::size_t size) {
    return static_cast<int>((16 - size % 16) % 16);
}

std::string padded(const std::string& plain) {
    const int pad = padFor(plain.size());
    return plain + std::string(static_cast<std::size_t>(pad), static_cast<char>(pad));
}

// Runs one file operation of a mode from a real input file to a real output file.
class Streams {
  public:
    using Operation = std::function<long(FILE* in, FILE* out)>;

    // Returns the operation's result; output() holds what it wrote.
    long run(const std::string& input, const Operation& op, long skip = 0) {
        m2::test::writeFile(dir / "in", input);
        FILE* in = std::fopen((dir / "in").c_str(), "rb");
        FILE* out = std::fopen((dir / "out").c_str(), "wb+");
        EXPECT_TRUE(in && out);
        std::fseek(in, skip, SEEK_SET);
        const long rc = op(in, out);
        std::fclose(in);
        std::fclose(out);
        written = m2::test::readFile(dir / "out");
        return rc;
    }
    [[nodiscard]] const std::string& output() const { return written; }
    [[nodiscard]] std::string path(const std::string& name) const { return dir / name; }

  private:
    m2::test::TempDir dir;
    std::string written;
};

long encryptFile(ICipherMode& mode, IBlockCipher& cipher, IV& iv, std::uint64_t size, int pad,
                 FILE* in, FILE* out) {
    return mode.fileEncrypt(&cipher, size, pad, in, out, &iv);
}

class CbcAes : public testing::TestWithParam<Variant> {
  protected:
    void SetUp() override {
        if (GetParam().needsHardware && !AesCipher::hardwareAvailable()) {
            GTEST_SKIP() << "no AES instructions on this processor";
        }
        iv.setIV(kIvHex);
    }

    // Encrypts plain through a file; checks success and returns the ciphertext.
    std::string encrypt(const std::string& plain) {
        const long rc = streams.run(plain, [&](FILE* in, FILE* out) {
            return encryptFile(mode, *cipher, iv, plain.size(), padFor(plain.size()), in, out);
        });
        EXPECT_EQ(rc, 1);
        return streams.output();
    }

    std::unique_ptr<IBlockCipher> cipher = GetParam().make();
    CBCMode mode{16};
    IV iv{16};
    Streams streams;
};

std::string variantName(const testing::TestParamInfo<Variant>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Ciphers, CbcAes, testing::ValuesIn(kAesVariants), variantName);

std::string opensslCbc(const Streams& streams, const std::string& paddedPlain) {
    m2::test::writeFile(streams.path("ref-in"), paddedPlain);
    int status = -1;
    m2test::commandOutput("openssl enc -aes-256-cbc -nopad -K " + kAesKeyHex + " -iv " + kIvHex +
                              " -in " + streams.path("ref-in") + " -out " + streams.path("ref-out"),
                          &status);
    EXPECT_EQ(status, 0) << "openssl enc failed";
    return m2::test::readFile(streams.path("ref-out"));
}

TEST_P(CbcAes, FilesMatchOpensslAndDecryptBack) {
    const std::size_t sizes[] = {0, 1, 15, 16, 17, 9999, 10000, 10005, 20000, 65537, 777, 31234};
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string plain = m2::test::patternText(size);
        const std::string cipherText = encrypt(plain);
        ASSERT_EQ(cipherText.size(), padded(plain).size());
        EXPECT_EQ(cipherText, opensslCbc(streams, padded(plain)));
        // Each operation starts again from the IV.
        EXPECT_EQ(encrypt(plain), cipherText);

        // As the decryptor calls it: the trailer follows the ciphertext in the file.
        const long ok = streams.run(cipherText + "TRAILER,0042,<qvx>", [&](FILE* in, FILE* out) {
            return mode.fileDecrypt(cipher.get(), cipherText.size(), 0, in, out, &iv) ? 1 : 0;
        });
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(streams.output(), padded(plain));
    }
}

// Every end position around the first two chunk boundaries, against CBC built from
// single blocks: a chain not carried across chunks shows here.
TEST_P(CbcAes, ChainRunsAcrossChunkBoundaries) {
    for (const std::size_t boundary : {std::size_t{10000}, std::size_t{20000}}) {
        for (std::size_t size = boundary - 17; size <= boundary + 17; ++size) {
            SCOPED_TRACE(size);
            const std::string plain = m2::test::patternText(size);
            const std::string cipherText = encrypt(plain);
            ASSERT_EQ(cipherText, referenceCbc(*cipher, padded(plain), false));
            streams.run(cipherText, [&](FILE* in, FILE* out) {
                return mode.fileDecrypt(cipher.get(), cipherText.size(), 0, in, out, &iv) ? 1 : 0;
            });
            ASSERT_EQ(streams.output(), padded(plain));
        }
    }
}

TEST_P(CbcAes, TextsRoundTripWithPrefixAndPadding) {
    const struct {
        std::size_t length, hexLength;
    } cases[] = {{0, 32}, {1, 32}, {14, 32}, {15, 64}, {30, 64}, {255, 544}, {9998, 20000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        std::string text = m2::test::patternText(c.length);
        std::string hex = mode.stringEncrypt(text, cipher.get(), &iv);
        EXPECT_EQ(hex.size(), c.hexLength);
        EXPECT_EQ(hex, upper(hex));

        std::string plainBlock(2, '\0');
        plainBlock[0] = static_cast<char>(c.length & 0xFF);
        plainBlock[1] = static_cast<char>(c.length >> 8);
        plainBlock += text;
        const std::size_t padTotal = plainBlock.size() % 16 == 0 ? 0 : 16 - plainBlock.size() % 16;
        plainBlock += std::string(padTotal, static_cast<char>(padTotal));
        EXPECT_EQ(hex, hexOf(referenceCbc(*cipher, plainBlock, false)));

        EXPECT_EQ(mode.stringDecrypt(hex, cipher.get(), &iv), text);
        std::string lower = m2test::toHex(m2test::fromHex(hex));
        EXPECT_EQ(mode.stringDecrypt(lower, cipher.get(), &iv), text);
    }
    // After a file operation the name again starts from the IV.
    std::string name = "report.txt";
    const std::string first = mode.stringEncrypt(name, cipher.get(), &iv);
    encrypt(m2::test::patternText(40000));
    EXPECT_EQ(mode.stringEncrypt(name, cipher.get(), &iv), first);
}

TEST_P(CbcAes, TextsItCannotHandleAreRefused) {
    std::string tooLong(9999, 'x');
    EXPECT_EQ(mode.stringEncrypt(tooLong, cipher.get(), &iv), "");

    std::string name = "report.txt";
    const std::string hex = mode.stringEncrypt(name, cipher.get(), &iv);
    // A length prefix of 0xFFFF over 14 bytes, as a wrong key makes.
    const std::string bogusPrefix =
        hexOf(referenceCbc(*cipher, std::string(16, static_cast<char>(0xFF)), false));
    const std::string refused[] = {
        "",  // decrypts to nothing: an empty text
        hex.substr(1),
        hex.substr(0, 30) + "G0",
        bogusPrefix,
        "AB",
        std::string(20002, 'A'),
    };
    for (std::string text : refused) {
        SCOPED_TRACE(text.substr(0, 40));
        EXPECT_EQ(mode.stringDecrypt(text, cipher.get(), &iv), text);
    }
}

TEST_P(CbcAes, ShortInputFailsInsteadOfSucceeding) {
    const std::string plain = m2::test::patternText(10000);
    // The stream ends at the first chunk boundary of a 20005-byte plain size.
    EXPECT_EQ(streams.run(plain,
                          [&](FILE* in, FILE* out) {
                              return encryptFile(mode, *cipher, iv, 20005, padFor(20005), in, out);
                          }),
              0);
    // A file that grew after its size was taken: its tail would be lost.
    EXPECT_EQ(streams.run(plain,
                          [&](FILE* in, FILE* out) {
                              return encryptFile(mode, *cipher, iv, 9984, 0, in, out);
                          }),
              0);
    // A pad that does not complete the last block.
    EXPECT_EQ(streams.run(plain,
                          [&](FILE* in, FILE* out) {
                              return encryptFile(mode, *cipher, iv, 10000, 3, in, out);
                          }),
              0);
    // A ciphertext shorter than its stated length.
    EXPECT_EQ(streams.run(plain,
                          [&](FILE* in, FILE* out) {
                              return mode.fileDecrypt(cipher.get(), 20000, 0, in, out, &iv) ? 1 : 0;
                          }),
              0);
}

// A read error or a write error at a chunk boundary.
TEST_P(CbcAes, StreamErrorsFail) {
    const std::string plain = m2::test::patternText(30000);
    m2::test::writeFile(streams.path("plain"), plain);
    FILE* out = std::fopen(streams.path("cipher").c_str(), "wb");
    FILE* unreadable = std::fopen(streams.path("plain").c_str(), "wb");  // reading it fails
    ASSERT_TRUE(out && unreadable);
    EXPECT_EQ(encryptFile(mode, *cipher, iv, 30000, 0, unreadable, out), 0);
    EXPECT_FALSE(mode.fileDecrypt(cipher.get(), 30000, 0, unreadable, out, &iv));
    std::fclose(unreadable);
    std::fclose(out);

    FILE* in = std::fopen(streams.path("plain").c_str(), "rb");
    FILE* full = std::fopen("/dev/full", "wb");
    if (full == nullptr) {
        std::fclose(in);
        GTEST_SKIP() << "no /dev/full";
    }
    m2::test::writeFile(streams.path("plain"), plain);
    EXPECT_EQ(encryptFile(mode, *cipher, iv, 30000, 0, in, full), 0);
    EXPECT_FALSE(mode.fileDecrypt(cipher.get(), 30000, 0, in, full, &iv));
    std::fclose(in);
    std::fclose(full);
}

TEST(CbcBlowfish, ChainsWithEightByteBlocksAndSixteenBytePadding) {
    auto cipher = blowfish();
    CBCMode mode(8);
    IV iv(16);
    iv.setIV(kIvHex);
    Streams streams;
    for (const std::size_t size : {std::size_t{0}, std::size_t{5}, std::size_t{10005},
                                   std::size_t{19992}, std::size_t{20001}}) {
        SCOPED_TRACE(size);
        const std::string plain = m2::test::patternText(size);
        ASSERT_EQ(streams.run(plain,
                              [&](FILE* in, FILE* out) {
                                  return encryptFile(mode, *cipher, iv, size, padFor(size), in,
                                                     out);
                              }),
                  1);
        const std::string cipherText = streams.output();
        EXPECT_EQ(cipherText.size() % 16, 0u);
        EXPECT_EQ(cipherText, referenceCbc(*cipher, padded(plain), false));
        streams.run(cipherText, [&](FILE* in, FILE* out) {
            return mode.fileDecrypt(cipher.get(), cipherText.size(), 0, in, out, &iv) ? 1 : 0;
        });
        EXPECT_EQ(streams.output(), padded(plain));
    }

    // Texts: padded to 16 bytes, and only the first 8 IV bytes matter.
    std::string empty;
    const std::string hex = mode.stringEncrypt(empty, cipher.get(), &iv);
    EXPECT_EQ(hex.size(), 32u);
    IV otherTail(16);
    otherTail.setIV("0001020304050607FFFFFFFFFFFFFFFF");
    EXPECT_EQ(mode.stringEncrypt(empty, cipher.get(), &otherTail), hex);
    std::string name = "old letter.doc";
    std::string encrypted = mode.stringEncrypt(name, cipher.get(), &iv);
    EXPECT_EQ(mode.stringDecrypt(encrypted, cipher.get(), &iv), name);
}

TEST(CbcMode, RefusesACipherOfAnotherBlockSize) {
    auto cipher = blowfish();
    CBCMode mode(16);
    IV iv(16);
    std::string name = "x";
    EXPECT_EQ(mode.stringEncrypt(name, cipher.get(), &iv), "");
    EXPECT_EQ(mode.fileEncrypt(cipher.get(), 0, 0, stdin, stdout, &iv), 0);
}

// ECB from the cipher's own multi-block Decode.
std::string referenceEcbEncrypt(const IBlockCipher& cipher, std::string plain) {
    std::string out(plain.size(), '\0');
    cipher.Encode(reinterpret_cast<const unsigned char*>(plain.data()),
                  reinterpret_cast<unsigned char*>(out.data()),
                  static_cast<unsigned>(plain.size()));
    return out;
}

TEST(EcbMode, DecryptsFilesFromTheCurrentPosition) {
    std::vector<std::pair<std::string, std::unique_ptr<IBlockCipher>>> ciphers;
    ciphers.emplace_back("aes", kAesVariants[0].make());
    ciphers.emplace_back("blowfish", blowfish());
    for (auto& [name, cipher] : ciphers) {
        ECBMode mode(cipher->getBlockSize());
        IV iv(16);
        Streams streams;
        for (const std::size_t size : {std::size_t{0}, std::size_t{16}, std::size_t{10000},
                                       std::size_t{10016}, std::size_t{25008}}) {
            SCOPED_TRACE(name + " " + std::to_string(size));
            const std::string plain = m2::test::patternText(size);
            const std::string cipherText = referenceEcbEncrypt(*cipher, plain);
            const long ok = streams.run(
                "skip" + cipherText + "TRAILER<qvx>",
                [&](FILE* in, FILE* out) {
                    return mode.fileDecrypt(cipher.get(), size, 0, in, out, &iv) ? 1 : 0;
                },
                4);
            EXPECT_EQ(ok, 1);
            EXPECT_EQ(streams.output(), plain);
            if (size > 0) {
                const long shortRead = streams.run(cipherText, [&](FILE* in, FILE* out) {
                    return mode.fileDecrypt(cipher.get(), size + 16, 0, in, out, &iv) ? 1 : 0;
                });
                EXPECT_EQ(shortRead, 0);
            }
        }
        EXPECT_EQ(streams.run("plain text",
                              [&](FILE* in, FILE* out) {
                                  return mode.fileEncrypt(cipher.get(), 10, 6, in, out, &iv);
                              }),
                  0);
        EXPECT_EQ(streams.output(), "");
        std::string text = "abc";
        EXPECT_EQ(mode.stringEncrypt(text, cipher.get(), &iv), "");
    }
}

TEST(EcbMode, DecryptsTextsAndRefusesWhatIsNotOne) {
    auto cipher = kAesVariants[0].make();
    ECBMode mode(16);
    IV iv(16);
    std::string plain = std::string("\x05\x00", 2) + "hello" + std::string(9, '\x09');
    std::string hex = hexOf(referenceEcbEncrypt(*cipher, plain));
    EXPECT_EQ(mode.stringDecrypt(hex, cipher.get(), &iv), "hello");

    std::string bogus = hexOf(referenceEcbEncrypt(*cipher, std::string(16, '\xFF')));
    std::string odd = hex.substr(1), notHex = "G" + hex.substr(1), empty;
    for (std::string* text : {&bogus, &odd, &notHex, &empty}) {
        EXPECT_EQ(mode.stringDecrypt(*text, cipher.get(), &iv), *text);
    }
}

}  // namespace
