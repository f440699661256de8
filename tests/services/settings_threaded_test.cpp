#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "app/services/Settings.h"
#include "platform/Paths.h"
#include "support/TestFiles.h"

using m2::Settings;

namespace {

// Each thread rewrites its own key again and again; without one lock around each
// read-modify-write, a thread writing back a stale copy would drop another's value.
TEST(SettingsThreaded, ConcurrentSetsLoseNoKey) {
    m2::test::TempDir dir;
    m2::platform::setDocumentsFolderOverride(dir.path());
    const Settings& s = Settings::instance();
    constexpr int kRounds = 25;
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 1; i <= kRounds; ++i)
            s.setTimeoutPeriod(i);
    });
    threads.emplace_back([&] {
        for (int i = 1; i <= kRounds; ++i)
            s.setTimeOutInterval(1000 + i);
    });
    threads.emplace_back([&] {
        for (int i = 1; i <= kRounds; ++i)
            s.setNotesPath("/notes/" + std::to_string(i));
    });
    threads.emplace_back([&] {
        for (int i = 1; i <= kRounds; ++i)
            s.setDatabaseSetup(i % 2 == 1);
    });
    threads.emplace_back([&] {
        for (int i = 1; i <= kRounds; ++i)
            s.setGoogleDrivePath("/g/" + std::to_string(i));
    });
    threads.emplace_back([&] {
        for (int i = 1; i <= kRounds; ++i)
            (void)s.SingleSignOn();
    });
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(s.TimeoutPeriod(), kRounds);
    EXPECT_EQ(s.TimeOutInterval(), 1000 + kRounds);
    EXPECT_EQ(s.NotesPath(), "/notes/" + std::to_string(kRounds));
    EXPECT_TRUE(s.DatabaseSetup());
    EXPECT_EQ(s.GoogleDrivePath(), "/g/" + std::to_string(kRounds));
    m2::platform::setDocumentsFolderOverride(std::nullopt);
}

}  // namespace
