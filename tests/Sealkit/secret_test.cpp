// The wiping secret type and the engine's file operations, checked by scanning this process's
// own writable memory for the values they handled.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "Sealkit/Cryptography/Secret.h"
#include "Sealkit/SealkitFacade.h"
#include "support/MemoryScan.h"
#include "support/TestFiles.h"

using m2::test::MaskedValue;
using m2::test::scanWritableMemory;
using Morvane::Security::Secret;

namespace {

// Long enough that no unrelated memory holds it by chance, short enough for inline buffers.
const MaskedValue kPassword = MaskedValue::of("Qv7!orchid-lantern-93 quietly humming");

// Whole copies, and copies that lost their beginning, as a freed one does.
std::pair<std::size_t, std::size_t> occurrences() {
    std::pair<std::size_t, std::size_t> found;
    for (const auto& finding : scanWritableMemory({{"whole", kPassword}})) {
        ++(finding.what == "whole" ? found.first : found.second);
    }
    return found;
}

TEST(Secret, ItsBytesAreWipedWhereverTheyGo) {
    if (!m2::test::memoryScanTells) {
        GTEST_SKIP() << m2::test::memoryScanSkipped;
    }
    // What each road leaves alive: the number of secrets still holding the text.
    const struct {
        const char* road;
        std::function<std::optional<Secret>()> run;
        std::size_t alive;
    } cases[] = {
        {"destroyed",
         [] {
             (void)kPassword.reveal();
             return std::nullopt;
         },
         0},
        {"cleared",
         [] {
             Secret s = kPassword.reveal();
             s.clear();
             return std::optional<Secret>(std::move(s));
         },
         0},
        {"reassigned",
         [] {
             Secret s = kPassword.reveal();
             s = Secret("something else");
             return std::optional<Secret>(std::move(s));
         },
         0},
        {"moved",
         [] {
             Secret from = kPassword.reveal();
             Secret to(std::move(from));
             EXPECT_TRUE(from.empty());
             return std::optional<Secret>(std::move(to));
         },
         1},
        {"copied, the copy gone",
         [] {
             Secret kept = kPassword.reveal();
             { const Secret copy(kept); }
             return std::optional<Secret>(std::move(kept));
         },
         1},
        {"grown byte by byte past every reallocation",
         [] {
             Secret grown;
             const Secret plain = kPassword.reveal();
             for (int round = 0; round < 4; ++round) {
                 for (const char c : plain.view()) {
                     grown.push_back(c);
                 }
             }
             return std::optional<Secret>(std::move(grown));
         },
         4},
        {"adopted from a plain string",
         [] {
             std::string plain(kPassword.reveal().view());
             plain.reserve(200);  // spare room must be wiped too
             return std::optional<Secret>(Secret::adopt(plain));
         },
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.road);
        std::optional<Secret> left = c.run();
        EXPECT_EQ(occurrences(), std::make_pair(c.alive, c.alive));
        left.reset();
        EXPECT_EQ(occurrences(), std::make_pair(std::size_t{0}, std::size_t{0}))
            << "once the last secret is gone";
    }
}

TEST(Secret, ComparesByContentAndKeepsEmbeddedZeros) {
    const std::string withZero("a\0b", 3);
    const Secret s(withZero);
    EXPECT_EQ(s.size(), 3u);
    EXPECT_EQ(s.view(), withZero);
    EXPECT_TRUE(s == withZero);
    EXPECT_FALSE(s == std::string_view("a"));
    EXPECT_TRUE(Secret() == std::string_view());
    EXPECT_EQ(Secret().data()[0], '\0');
}

TEST(SecretsInMemory, EncryptingAndDecryptingAFileLeavesNeitherThePasswordNorTheKey) {
    if (!m2::test::memoryScanTells) {
        GTEST_SKIP() << m2::test::memoryScanSkipped;
    }
    const MaskedValue password = MaskedValue::of("Kq4$marble-tundra-velvet over the ridge");
    m2::test::TempDir dir;
    const auto plainPath = (dir / "report.txt").string();
    m2::test::writeFile(plainPath, std::string(50000, 'x'));
    {
        const Secret typed = password.reveal();
        Encryptor encryptor(typed.view(), "hint", false, false);
        const SealkitOutcome sealed = encryptor.encryptFileOutcome(plainPath, "hint");
        ASSERT_TRUE(sealed.succeeded()) << sealed.text();
        Decryptor decryptor(typed.view(), "");
        const SealkitOutcome opened = decryptor.decryptFileOutcome(sealed.path, "");
        ASSERT_TRUE(opened.succeeded()) << opened.text();
    }
    const auto findings = scanWritableMemory(m2::test::passwordAndKeyForms(password));
    EXPECT_TRUE(findings.empty()) << m2::test::describe(findings);
}

}  // namespace
