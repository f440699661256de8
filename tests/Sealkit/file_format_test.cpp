#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Sealkit/Cryptography/FileDecryptor.h"
#include "Sealkit/FileHeader/FileHeader.h"
#include "Sealkit/MorvaneResult.h"
#include "Sealkit/SealkitFacade.h"
#include "support/CommandOutput.h"
#include "support/Hex.h"
#include "support/TestFiles.h"

using Morvane::Security::CFileHeader;
using Morvane::Security::FileDecryptor;

namespace {

const std::string kFixtures = M2_FIXTURES "/m2p/";

std::string bytesOfHex(const std::string& hex) {
    const auto bytes = m2test::fromHex(hex);
    return {bytes.begin(), bytes.end()};
}

// One line of the manifest tests/tools/m2p_reference.py writes beside the fixtures.
struct Fixture {
    std::string file, name, hint, password;
    std::size_t size = 0;
    int version = 0, cipher = 0, keyType = 0, strength = 0;
};

std::vector<Fixture> manifest() {
    std::ifstream in(kFixtures + "manifest.txt");
    std::vector<Fixture> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        Fixture f;
        std::string nameHex, hintHex, passwordHex;
        fields >> f.file >> nameHex >> f.size >> f.version >> f.cipher >> f.keyType >> f.strength >>
            hintHex >> passwordHex;
        f.name = bytesOfHex(nameHex);
        f.hint = hintHex == "-" ? "" : bytesOfHex(hintHex);
        f.password = bytesOfHex(passwordHex);
        rows.push_back(f);
    }
    return rows;
}

std::string copyFixture(const m2::test::TempDir& dir, const std::string& file) {
    m2::test::writeFile(dir / file, m2::test::readFile(kFixtures + file));
    return dir / file;
}

// Counts how often the decryptor derives a key.
class CountingDecryptor : public FileDecryptor {
  public:
    using FileDecryptor::FileDecryptor;
    [[nodiscard]] int derivations() const { return keyDerivations; }
};

TEST(OlderFiles, EveryVersionDecryptsUnderItsPasswordOnly) {
    const auto fixtures = manifest();
    ASSERT_GE(fixtures.size(), 8u);
    FileDecryptor decryptor(false, fixtures[0].password);
    FileDecryptor wrong(false, "wrong password");
    for (const auto& f : fixtures) {
        SCOPED_TRACE(f.file);
        m2::test::TempDir dir;
        const std::string encrypted = copyFixture(dir, f.file);
        const std::string stored = m2::test::readFile(encrypted);

        std::string path = encrypted, hint;
        EXPECT_EQ(wrong.processFile(path, hint, false, ""), -5);
        EXPECT_EQ(m2::test::readFile(encrypted), stored);
        EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{f.file});

        path = encrypted;
        hint.clear();
        EXPECT_EQ(decryptor.processFile(path, hint, false, ""), 0);
        EXPECT_EQ(path, dir.path().string() + "//" + f.name);
        EXPECT_EQ(hint, f.hint);
        EXPECT_EQ(m2::test::readFile(dir / f.name), m2::test::patternText(f.size));
        EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{f.name});
    }
}

TEST(OlderFiles, DamagedTrailersAreRefusedOrContained) {
    const std::string password = manifest().at(0).password;
    const struct {
        const char* file;
        int code;
        const char* plainName;  // where the plain file lands on success
    } cases[] = {
        {"crafted_name_escape.m2p", 0, "crafted_name_escape"},
        {"crafted_name_empty.m2p", 0, "crafted_name_empty"},
        {"crafted_name_dotdot.m2p", 0, "crafted_name_dotdot"},
        {"crafted_size_beyond.m2p", -16, nullptr},
        {"crafted_size_short.m2p", -16, nullptr},
        {"crafted_iv_not_hex.m2p", -16, nullptr},
        {"crafted_iv_short.m2p", -16, nullptr},
        {"crafted_keysize_zero.m2p", -5, nullptr},
        {"crafted_keysize_huge.m2p", -5, nullptr},
        {"crafted_digest_short.m2p", -5, nullptr},
    };
    FileDecryptor decryptor(false, password);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        m2::test::TempDir parent;
        ASSERT_EQ(::mkdir((parent / "in").c_str(), 0700), 0);
        const std::string folder = parent / "in";
        const std::string encrypted = folder + "/" + c.file;
        m2::test::writeFile(encrypted, m2::test::readFile(kFixtures + c.file));

        std::string path = encrypted, hint;
        EXPECT_EQ(decryptor.processFile(path, hint, false, ""), c.code);
        EXPECT_EQ(m2::test::listFolder(parent.path()), std::vector<std::string>{"in"});
        if (c.plainName != nullptr) {
            EXPECT_EQ(path, folder + "//" + c.plainName);
            EXPECT_EQ(m2::test::readFile(path), m2::test::patternText(20));
            EXPECT_EQ(m2::test::listFolder(folder), std::vector<std::string>{c.plainName});
        } else {
            EXPECT_EQ(m2::test::readFile(encrypted), m2::test::readFile(kFixtures + c.file));
            EXPECT_EQ(m2::test::listFolder(folder), std::vector<std::string>{c.file});
        }
    }
}

TEST(OlderFiles, OneKeyDerivationForFilesOfOneConfiguration) {
    m2::test::TempDir dir;
    Encryptor encryptor("same password", "", false, false);
    std::vector<std::string> encrypted;
    for (const char* name : {"a.txt", "b.txt"}) {
        m2::test::writeFile(dir / name, name);
        encrypted.push_back(encryptor.encryptFileOutcome(dir / name, "").path);
    }
    CountingDecryptor decryptor(false, "same password");
    for (auto path : encrypted) {
        std::string hint;
        EXPECT_EQ(decryptor.processFile(path, hint, false, ""), 0);
    }
    EXPECT_EQ(decryptor.derivations(), 1);
}

// What the engine writes, checked with OpenSSL and the Python reference's key alone.
TEST(WrittenFiles, VerifyWithoutTheEngine) {
    const std::string password = "independent check";
    int status = -1;
    const std::string keyHex =
        m2test::commandOutput("/usr/bin/python3 '" M2_SOURCE_DIR
                              "/tests/tools/m2p_reference.py' key 1 2 32 6 '" +
                                  password + "'",
                              &status)
            .substr(0, 64);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(keyHex.size(), 64u);

    Encryptor encryptor(password, "", false, false);
    for (const std::size_t size : {std::size_t{0}, std::size_t{17}, std::size_t{10005}}) {
        SCOPED_TRACE(size);
        m2::test::TempDir dir;
        const std::string content = m2::test::patternText(size);
        m2::test::writeFile(dir / "plain name.txt", content);
        const SealkitOutcome out = encryptor.encryptFileOutcome(dir / "plain name.txt", "hint");
        ASSERT_TRUE(out.succeeded()) << out.text();
        const std::string file = m2::test::readFile(out.path);

        const std::size_t pad = (16 - size % 16) % 16;
        const std::string trailer = file.substr(size + pad);
        const auto pieces = CFileHeader::split(trailer, ',');
        ASSERT_EQ(pieces.size(), 13u);
        EXPECT_EQ(pieces[2], "68696E74");
        EXPECT_EQ(pieces[4], std::to_string(size));
        EXPECT_EQ(pieces[5], std::to_string(pad));
        EXPECT_EQ(std::vector<std::string>(pieces.begin() + 6, pieces.end()),
                  (std::vector<std::string>{"6", "1", "2", "32", "",
                                            "0" + std::string(trailer.size() < 1000, ' ') +
                                                std::to_string(trailer.size()),
                                            "<qvx>"}));

        const std::string iv = pieces[1];
        const auto openssl = [&](const std::string& options, const std::string& input) {
            m2::test::writeFile(dir / "in.bin", input);
            int rc = -1;
            m2test::commandOutput("openssl enc " + options + " -nopad -K " + keyHex + " -in '" +
                                      (dir / "in.bin").string() + "' -out '" +
                                      (dir / "out.bin").string() + "'",
                                  &rc);
            EXPECT_EQ(rc, 0) << options;
            return m2::test::readFile(dir / "out.bin");
        };
        // The check digest: the key encrypted under itself.
        std::string digestHex;
        for (const unsigned char c : openssl("-aes-256-ecb", bytesOfHex(keyHex))) {
            static const char digits[] = "0123456789ABCDEF";
            digestHex += digits[c >> 4];
            digestHex += digits[c & 15];
        }
        EXPECT_EQ(pieces[0], digestHex);
        EXPECT_EQ(openssl("-d -aes-256-cbc -iv " + iv, file.substr(0, size + pad)),
                  content + std::string(pad, static_cast<char>(pad)));
        const std::string name = openssl("-d -aes-256-cbc -iv " + iv, bytesOfHex(pieces[3]));
        EXPECT_EQ(name.substr(0, 16), std::string("\x0E\x00", 2) + "plain name.txt");
    }
}

}  // namespace
