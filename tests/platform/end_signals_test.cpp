#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>

#include "platform/EndSignals.h"
#include "platform/RunLoop.h"

using namespace std::chrono_literals;
using m2::platform::EndSignals;

namespace {

void (*handlerOf(int signal))(int) {
    struct sigaction action {};
    (void)::sigaction(signal, nullptr, &action);
    return action.sa_handler;
}

// A signal that asks the program to end reaches the main loop as a call, not as the end of
// the process; without the catcher the signals are back to their default.
TEST(EndSignals, EachEndSignalBecomesOneCallOnTheMainLoop) {
    auto loop = std::make_shared<m2::platform::PollRunLoop>();
    const auto previous = m2::platform::RunLoop::installMain(loop);
    {
        int calls = 0;
        const auto signals = EndSignals::install([&calls] { ++calls; });
        ASSERT_NE(signals, nullptr);
        EXPECT_EQ(EndSignals::install([] {}), nullptr) << "one at a time";
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            SCOPED_TRACE(signal);
            const int before = calls;
            ASSERT_EQ(::raise(signal), 0);
            ASSERT_EQ(::raise(signal), 0);  // two before the loop turns: one call
            EXPECT_TRUE(loop->runUntil([&] { return calls > before; }, 5s));
            (void)loop->runOnce(10ms);
            EXPECT_EQ(calls, before + 1);
        }
    }
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        EXPECT_EQ(handlerOf(signal), SIG_DFL);
    }
    EXPECT_EQ(loop->sourceCount(), 0u);
    m2::platform::RunLoop::installMain(previous);
}

}  // namespace
