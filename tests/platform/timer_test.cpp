#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Timer.h"

using namespace std::chrono_literals;
using m2::platform::ManualTimerScheduler;
using m2::platform::Timer;

namespace {

TEST(ManualTimerScheduler, RepeatingTimersFireInDueOrder) {
    ManualTimerScheduler clock;
    std::string fired;
    const auto slow = clock.scheduleRepeating(15s, [&] { fired += "S"; });
    const auto fast = clock.scheduleRepeating(10s, [&] { fired += "f"; });

    EXPECT_EQ(clock.advance(9999ms), 0u);
    EXPECT_EQ(clock.advance(1ms), 1u);
    EXPECT_EQ(fired, "f");
    // At 30 s both are due; the one scheduled first goes first.
    clock.advance(20s);
    EXPECT_EQ(fired, "fSfSf");
    EXPECT_EQ(clock.now(), 30s);
    EXPECT_TRUE(slow->isValid());
}

TEST(ManualTimerScheduler, InvalidatedOrDestroyedTimersStop) {
    ManualTimerScheduler clock;
    int first = 0, second = 0;
    std::unique_ptr<Timer> timer;
    timer = clock.scheduleRepeating(1s, [&] {
        if (++first == 2) {
            timer->invalidate();  // inside its own action
        }
    });
    auto other = clock.scheduleRepeating(1s, [&] { ++second; });
    clock.advance(5s);
    EXPECT_EQ(first, 2);
    EXPECT_FALSE(timer->isValid());

    other.reset();
    clock.advance(5s);
    EXPECT_EQ(second, 5);
    EXPECT_EQ(clock.validTimerCount(), 0u);
}

TEST(ManualTimerScheduler, TimerMadeInsideAnActionStartsFromThatMoment) {
    ManualTimerScheduler clock;
    std::unique_ptr<Timer> later;
    int laterFired = 0;
    const auto starter = clock.scheduleRepeating(2s, [&] {
        if (!later) {
            later = clock.scheduleRepeating(3s, [&] { ++laterFired; });
        }
    });
    clock.advance(4s);  // made at 2 s: due at 5 s
    EXPECT_EQ(laterFired, 0);
    clock.advance(1s);
    EXPECT_EQ(laterFired, 1);
}

}  // namespace
