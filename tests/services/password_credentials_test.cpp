#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/services/PasswordCredentials.h"
#include "support/FakeKeychain.h"

using m2::PasswordCredentials;
using m2::toSha256;
using m2::test::FakeKeychain;

namespace {

TEST(PasswordDigest, MatchesTheReference) {
    // Reference values: base64.b64encode(hashlib.sha256(p.encode() + b"Pelqorin40x7").digest())
    const struct {
        const char* password;
        const char* digest;
    } cases[] = {
        {"", "oLl7zGUBtsmUee+cOGAXR+gPV3JSm/CpM+4p5p/nwcI="},
        {"a", "0JzNvuTLy4S2GXuwpYTnPA9ggTPdWvJPkmDwrF+xDPg="},
        {"secret", "QHus6zOGPXRjewwpDC3PxGbzJwLkyDKnxTD/qxkw7ZE="},
        {"secret ", "0nIshhkhczjdDG6GeRsK8yeY0k0ch4wWCFVh0dYCjkg="},
        {"Secret", "JR2wxP9pQSKNR+zZS9BGZCfl/9B+aULySnqXOIgmzIM="},
        {"correct horse battery staple", "gXQQJzEK51R8jYRXYR4ilMUIAY1sFMzle4gWuBbi/JU="},
        {"caf\xC3\xA9", "WH3BpWEaIruNAUwggKHpKLGgr2i1qk2GDxoHBCioQ0g="},   // NFC
        {"cafe\xCC\x81", "XKXTlMPzlsW9ysPF0ZCsmtNQ7F+mxZ0Clpa96Odw4gY="},  // NFD: other bytes
        {"\xC3\xBC"
         "ber\xE2\x82\xAC",
         "FzpIMwdoVmjQUWLMkntGYfZRDLT7R18tmabDMwvLJjs="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password);
        EXPECT_EQ(toSha256(c.password), c.digest);
    }
    const std::vector<std::uint8_t> abc{'a', 'b', 'c'};
    const auto raw = toSha256(abc);
    ASSERT_TRUE(raw);
    ASSERT_EQ(raw->size(), 32u);
    EXPECT_EQ((*raw)[0], 0xBA);  // FIPS 180-2 "abc": ba7816bf...
    EXPECT_EQ((*raw)[31], 0xAD);
}

TEST(PasswordCredentials, ValidateRules) {
    const std::string ok = "OK";
    const std::string empty = "Please enter a valid password";
    const std::string tooShort = "Password is too short. Password must be at least 6 characters.";
    const std::string mismatch = "Passwords do not match";
    const struct {
        std::string password, password2;
        bool result;
        const std::string& resaon;
    } cases[] = {
        {"", "", false, empty},
        {"", "abcdef", false, empty},
        {"abcde", "abcde", false, tooShort},
        {"abcde", "", false, tooShort},
        {"e\xCC\x81"
         "e\xCC\x81"
         "e\xCC\x81"
         "e\xCC\x81"
         "e\xCC\x81",
         "x", false, tooShort},
        {"abcdef", "abcdeg", false, mismatch},
        {"abcdef", "abcdef ", false, mismatch},
        {"abcdef", "ABCDEF", false, mismatch},
        {"abcdef", "abcdef", true, ok},
        // Six characters of eleven code points; composed and decomposed forms are equal.
        {"e\xCC\x81"
         "e\xCC\x81"
         "e\xCC\x81"
         "e\xCC\x81"
         "e\xCC\x81"
         "e",
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
         "e",
         true, ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password + " / " + c.password2);
        PasswordCredentials credentials(std::make_shared<FakeKeychain>());
        credentials.setPassword(Morvane::Security::Secret(c.password));
        credentials.setPassword2(Morvane::Security::Secret(c.password2));
        const auto v = credentials.Validate();
        EXPECT_EQ(v.result, c.result);
        EXPECT_EQ(v.resaon, c.resaon);
    }
}

struct CredentialsWithKeychain : testing::Test {
    std::shared_ptr<FakeKeychain> fake = std::make_shared<FakeKeychain>();
    PasswordCredentials credentials{fake};

    bool save(const std::string& password, const std::string& hint) {
        credentials.setPassword(Morvane::Security::Secret(password));
        credentials.setHint(hint);
        return credentials.saveToKeychain();
    }
};

TEST_F(CredentialsWithKeychain, SaveStoresDigestAndHintAndValidates) {
    EXPECT_FALSE(credentials.validateWithKeychain(""));  // nothing stored yet
    ASSERT_TRUE(save("first password", "my hint"));

    ASSERT_EQ(fake->items.size(), 2u);
    const auto& digest = fake->items[0];
    EXPECT_EQ(digest.attributes.service, "Morvane2PasswordService");
    EXPECT_EQ(digest.attributes.accessGroup, "Morvane2Group");
    EXPECT_EQ(digest.attributes.account, "password");
    EXPECT_EQ(std::string(digest.value.begin(), digest.value.end()), toSha256("first password"));
    const auto& hint = fake->items[1];
    EXPECT_EQ(hint.attributes.service, "Morvane2HintService");
    EXPECT_EQ(hint.attributes.accessGroup, "Morvane2Group");
    EXPECT_EQ(hint.attributes.account, "hint");
    EXPECT_EQ(std::string(hint.value.begin(), hint.value.end()), "my hint");

    EXPECT_TRUE(credentials.validateWithKeychain("first password"));
    EXPECT_FALSE(credentials.validateWithKeychain("first password "));
    EXPECT_FALSE(credentials.validateWithKeychain("First password"));

    ASSERT_TRUE(save("second", ""));  // both items are replaced
    EXPECT_EQ(fake->items.size(), 2u);
    EXPECT_TRUE(credentials.validateWithKeychain("second"));
    EXPECT_FALSE(credentials.validateWithKeychain("first password"));
    EXPECT_TRUE(fake->items[1].value.empty());
}

TEST_F(CredentialsWithKeychain, SaveAnswersFalseUnlessBothItemsAreSafelyStored) {
    fake->failWith = m2::platform::keychainNotAvailable;
    EXPECT_FALSE(save("password one", "hint"));
    EXPECT_FALSE(credentials.validateWithKeychain("password one"));

    fake->failWith = m2::platform::keychainSuccess;
    fake->refuseAddsFor = "Morvane2HintService";
    EXPECT_FALSE(save("password one", "hint"));

    fake->refuseAddsFor.reset();
    fake->garbleReads = true;  // stored, but what comes back is not what was written
    EXPECT_FALSE(save("password one", "hint"));
    EXPECT_FALSE(credentials.validateWithKeychain("password one"));
}

// What the keyring answers decides the check: a keyring that could not be asked (locked and
// not unlocked, or none at all) is never a wrong password, and the reason names which.
TEST_F(CredentialsWithKeychain, TheCheckTellsAWrongPasswordFromAKeyringThatCannotBeAsked) {
    using Answer = PasswordCredentials::KeychainAnswer;
    EXPECT_EQ(credentials.storedDigest().answer, Answer::differs);  // nothing stored yet
    ASSERT_TRUE(save("the password", ""));
    const struct {
        m2::platform::KeychainStatus status;
        const char* typed;
        Answer answer;
        const char* reason;
    } cases[] = {
        {m2::platform::keychainSuccess, "the password", Answer::matches, ""},
        {m2::platform::keychainSuccess, "the Password", Answer::differs, ""},
        {m2::platform::keychainAuthFailed, "the password", Answer::unavailable,
         "locked and was not unlocked"},
        {m2::platform::keychainNotAvailable, "the password", Answer::unavailable,
         "No system keyring (Secret Service) answers"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + " " + c.typed);
        fake->failWith = c.status;
        const PasswordCredentials::KeychainCheck check = credentials.checkWithKeychain(c.typed);
        EXPECT_EQ(check.answer, c.answer);
        EXPECT_NE(check.reason.find(c.reason), std::string::npos) << check.reason;
        EXPECT_EQ(credentials.validateWithKeychain(c.typed), c.answer == Answer::matches);
        const PasswordCredentials::KeychainCheck stored = credentials.storedDigest();
        EXPECT_EQ(stored.answer, c.status == 0 ? Answer::matches : Answer::unavailable);
    }
}

TEST_F(CredentialsWithKeychain, ResetAndLoadHint) {
    ASSERT_TRUE(save("the password", "stored hint"));
    credentials.setPassword2(Morvane::Security::Secret("the password"));
    credentials.setHint("typed");
    credentials.reset();
    EXPECT_EQ(credentials.password(), "");
    EXPECT_EQ(credentials.password2(), "the password");
    EXPECT_EQ(credentials.hint(), "typed");

    credentials.loadHint();
    EXPECT_EQ(credentials.hint(), "stored hint");

    fake->items.clear();
    credentials.setHint("kept");
    credentials.loadHint();
    EXPECT_EQ(credentials.hint(), "kept");
    fake->failWith = m2::platform::keychainAuthFailed;
    credentials.loadHint();
    EXPECT_EQ(credentials.hint(), "kept");
}

TEST(PasswordCredentialsInstance, SharedAndInitiallyEmpty) {
    PasswordCredentials& shared = PasswordCredentials::instance();
    EXPECT_EQ(&shared, &PasswordCredentials::instance());
    EXPECT_EQ(shared.password(), "");
    EXPECT_EQ(shared.hint(), "");
    EXPECT_EQ(shared.password2(), "");
    EXPECT_EQ(PasswordCredentials::minPasswordLength, 6);
}

}  // namespace
