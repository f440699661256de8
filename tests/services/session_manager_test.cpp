#include <gtest/gtest.h>

#include "app/services/SessionManager.h"
#include "app/services/Settings.h"
#include "platform/Paths.h"
#include "support/FakeIdleSource.h"
#include "support/TestFiles.h"

using m2::SessionManager;
using m2::Settings;

namespace {

class SessionManagerTest : public testing::Test {
  protected:
    void SetUp() override { m2::platform::setDocumentsFolderOverride(dir_.path() / "Documents"); }
    void TearDown() override { m2::platform::setDocumentsFolderOverride(std::nullopt); }

    // Idle time in the detector's units, as the fake source would report it.
    void idleUnits(std::int64_t units) {
        idle_.milliseconds = units < 0 ? -1 : (units << 30) / 1'000'000 + 1;
    }

    m2::test::TempDir dir_;
    m2::test::FakeIdleSource idle_;
};

TEST_F(SessionManagerTest, StartsFromTheSettingsAndSavesOnlyTheInterval) {
    {
        // Fresh settings never lock, as the settings sheet's "never" says.
        const SessionManager nothingStored(idle_);
        EXPECT_EQ(nothingStored.timeout(), -1);
        EXPECT_TRUE(nothingStored.active());  // period index 0 (never) still reads active
        idleUnits(100000);
        EXPECT_FALSE(nothingStored.shouldLogout());
    }
    Settings::instance().setTimeOutInterval(600);
    Settings::instance().setTimeoutPeriod(4);
    SessionManager manager(idle_);
    EXPECT_EQ(manager.timeout(), 600);
    EXPECT_TRUE(manager.active());

    manager.setTimeout(-1);
    manager.setActive(false);
    manager.save();
    EXPECT_EQ(Settings::instance().TimeOutInterval(), -1);
    EXPECT_EQ(Settings::instance().TimeoutPeriod(), 4);  // the sheet's own key is untouched

    Settings::instance().setTimeOutInterval(60);
    manager.load();
    EXPECT_EQ(manager.timeout(), 60);
    EXPECT_TRUE(manager.active());
    Settings::instance().setTimeoutPeriod(-1);
    manager.load();
    EXPECT_FALSE(manager.active());
}

TEST_F(SessionManagerTest, LocksOnlyWhenIdleLongerThanTheLimit) {
    const struct {
        bool active;
        std::int64_t timeout, idle;
        bool logout;
    } cases[] = {
        {true, 180, 180, false},   {true, 180, 181, true},  {true, 180, 0, false},
        {false, 180, 5000, false}, {true, -1, 5000, false}, {true, 0, 1, true},
        {true, 180, -1, false},  // unreadable idle time never locks
        {true, -5, -1, false},   // not even under a limit below -1
        {true, 0, -1, false},
    };
    SessionManager manager(idle_);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.active << " " << c.timeout << " " << c.idle);
        manager.setActive(c.active);
        manager.setTimeout(c.timeout);
        idleUnits(c.idle);
        EXPECT_EQ(manager.shouldLogout(), c.logout);
    }
    idleUnits(-1);
    EXPECT_FALSE(manager.idleTimeAvailable());
    idleUnits(0);
    EXPECT_TRUE(manager.idleTimeAvailable());
}

TEST_F(SessionManagerTest, SharedInstance) {
    EXPECT_EQ(&SessionManager::instance(), &SessionManager::instance());
}

}  // namespace
