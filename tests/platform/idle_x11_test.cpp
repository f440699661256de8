// Runs against an X server (xvfb-run); xdotool plays the user.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/services/IdleObject.h"
#include "platform/Idle.h"
#include "support/CommandOutput.h"

using namespace m2::platform;

namespace {

TEST(IdleX11, CounterGrowsWhileNothingHappensAndDropsOnInput) {
    const auto source = makeIdleTimeSource(IdleSourceKind::x11ScreenSaver);
    int status = -1;
    m2test::commandOutput("xdotool mousemove 5 5", &status);
    ASSERT_EQ(status, 0) << "no X server? run under xvfb-run";

    const auto start = source->idleMilliseconds();
    ASSERT_TRUE(start);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto later = source->idleMilliseconds();
    ASSERT_TRUE(later);
    EXPECT_GE(*later, *start + 1400);
    EXPECT_GE(m2::IdleObject(*source).SystemIdleTime(), 1);  // 1.5 s is one unit

    m2test::commandOutput("xdotool mousemove 200 150", &status);
    ASSERT_EQ(status, 0);
    const auto after = source->idleMilliseconds();
    ASSERT_TRUE(after);
    EXPECT_LT(*after, *later);
    EXPECT_LT(*after, 1000u);
}

}  // namespace
