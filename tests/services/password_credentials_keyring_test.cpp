// The master password against a real Secret Service; secret-tool checks what was stored.
#include <gtest/gtest.h>

#include "app/services/PasswordCredentials.h"
#include "support/CommandOutput.h"

using m2::PasswordCredentials;

namespace {

std::string lookup(const std::string& attributes, int* status = nullptr) {
    return m2test::commandOutput("secret-tool lookup " + attributes + " 2>/dev/null", status);
}

TEST(PasswordCredentialsKeyring, SaveValidateAndLoadHint) {
    PasswordCredentials& shared = PasswordCredentials::instance();
    shared.setPassword(Morvane::Security::Secret("caf\xC3\xA9 au lait"));
    shared.setHint("a drink \xE2\x98\x95");
    ASSERT_TRUE(shared.saveToKeychain()) << "no unlocked keyring on the session bus?";

    EXPECT_EQ(lookup("service Morvane2PasswordService account password accessGroup Morvane2Group"),
              m2::toSha256("caf\xC3\xA9 au lait"));
    EXPECT_EQ(lookup("service Morvane2HintService account hint accessGroup Morvane2Group"),
              "a drink \xE2\x98\x95");

    EXPECT_TRUE(shared.validateWithKeychain("caf\xC3\xA9 au lait"));
    EXPECT_FALSE(shared.validateWithKeychain("cafe\xCC\x81 au lait"));  // other bytes, other digest

    PasswordCredentials change;
    change.setPassword(Morvane::Security::Secret("new master"));
    ASSERT_TRUE(change.saveToKeychain());
    EXPECT_TRUE(shared.validateWithKeychain("new master"));
    EXPECT_FALSE(shared.validateWithKeychain("caf\xC3\xA9 au lait"));

    shared.reset();
    shared.setHint("");
    shared.loadHint();
    EXPECT_EQ(shared.password(), "");
    EXPECT_EQ(shared.hint(), "");  // the second save stored an empty hint

    int status = 0;
    m2test::commandOutput("secret-tool clear service Morvane2PasswordService 2>/dev/null", &status);
    EXPECT_FALSE(shared.validateWithKeychain("new master"));  // no stored digest
}

}  // namespace
