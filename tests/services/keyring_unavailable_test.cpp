// With no Secret Service reachable every keychain operation fails cleanly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/services/KeychainWrapper.h"
#include "app/services/PasswordCredentials.h"
#include "support/NoKeyringChecks.h"

using m2::KeychainWrapper;

namespace {

// Before any test touches the bus: a session bus address that leads nowhere.
const bool noBus = [] {
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/m2-no-bus", 1);
    return true;
}();

TEST(NoKeyring, KeychainOperationsFailWithoutCrashing) {
    ASSERT_TRUE(noBus);
    const KeychainWrapper store("m2test.nobus", "G");
    EXPECT_FALSE(store.setString("v", "k"));
    EXPECT_FALSE(store.stringForKey("k"));
    EXPECT_FALSE(store.hasValueForKey("k"));
    EXPECT_FALSE(store.dataRefForKey("k"));
    EXPECT_FALSE(store.removeObjectForKey("k"));
    EXPECT_FALSE(store.removeAllKeys());
    KeychainWrapper::wipeKeychain();
}

TEST(NoKeyring, MasterPasswordIsNeverReportedAsSaved) {
    ASSERT_TRUE(noBus);
    m2::test::expectMasterPasswordNotSaved(m2::PasswordCredentials::instance());
}

// No Secret Service is not a wrong password: the check says the keyring is missing.
TEST(NoKeyring, TheCheckSaysTheKeyringIsMissing) {
    ASSERT_TRUE(noBus);
    using Answer = m2::PasswordCredentials::KeychainAnswer;
    const m2::PasswordCredentials& credentials = m2::PasswordCredentials::instance();
    for (const auto& check :
         {credentials.checkWithKeychain("a good password"), credentials.storedDigest()}) {
        EXPECT_EQ(check.answer, Answer::unavailable);
        EXPECT_NE(check.reason.find("No system keyring (Secret Service) answers"),
                  std::string::npos)
            << check.reason;
    }
}

}  // namespace
