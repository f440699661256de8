// With no Secret Service reachable every keychain operation fails cleanly.
#include <gtest/gtest.h>

#include <cstdlib>

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

}  // namespace
