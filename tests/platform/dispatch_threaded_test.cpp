#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <latch>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Dispatch.h"

using namespace std::chrono_literals;
using m2::platform::ManualMainQueue;
using m2::platform::QualityOfService;
using m2::platform::ScopedManualMainQueue;
using m2::platform::Dispatch::global;
using m2::platform::Dispatch::main;

namespace {

TEST(ManualMainQueue, RunsInPostingOrderIncludingWorkPostedWhileDraining) {
    ScopedManualMainQueue scoped;
    std::string trace;
    main().async([&] {
        trace += 'a';
        main().async([&] { trace += 'd'; });
    });
    main().async([&] { trace += 'b'; });
    main().async([&] { trace += 'c'; });
    EXPECT_EQ(trace, "");
    EXPECT_EQ(scoped->pending(), 3u);

    EXPECT_TRUE(scoped->runOne());
    EXPECT_EQ(trace, "a");
    EXPECT_EQ(scoped->drain(), 3u);
    EXPECT_EQ(trace, "abcd");
    EXPECT_FALSE(scoped->runOne());
}

TEST(ManualMainQueue, DelayedWorkFollowsTheManualClock) {
    ScopedManualMainQueue scoped;
    std::string trace;
    main().asyncAfter(30ms, [&] { trace += '3'; });
    main().asyncAfter(10ms, [&] { trace += '1'; });
    main().asyncAfter(10ms, [&] { trace += '2'; });
    main().asyncAfter(-5ms, [&] { trace += '0'; });  // a negative delay means now
    main().async([&] { trace += 'n'; });

    scoped->drain();
    EXPECT_EQ(trace, "n");
    scoped->advance(0ms);
    scoped->drain();
    EXPECT_EQ(trace, "n0");
    scoped->advance(9ms);
    scoped->drain();
    EXPECT_EQ(trace, "n0");
    scoped->advance(1ms);
    EXPECT_EQ(scoped->pending(), 2u);
    EXPECT_EQ(scoped->pendingDelayed(), 1u);
    scoped->drain();
    EXPECT_EQ(trace, "n012");
    scoped->advance(1h);
    scoped->drain();
    EXPECT_EQ(trace, "n0123");
}

TEST(ManualMainQueue, MainThreadIsTheOwner) {
    ScopedManualMainQueue scoped;
    EXPECT_TRUE(m2::platform::Dispatch::isMainThread());
    bool onOther = true;
    std::thread([&] { onOther = m2::platform::Dispatch::isMainThread(); }).join();
    EXPECT_FALSE(onOther);
}

TEST(ManualMainQueue, KeepsEveryItemPostedFromManyThreadsInEachThreadsOrder) {
    ScopedManualMainQueue scoped;
    constexpr int threads = 4, perThread = 500;
    std::vector<std::vector<int>> seen(threads);
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                main().async([&, t, i] { seen[t].push_back(i); });
            }
        });
    }
    for (auto& p : posters) {
        p.join();
    }
    EXPECT_EQ(scoped->drain(), static_cast<std::size_t>(threads * perThread));
    for (const auto& list : seen) {
        ASSERT_EQ(list.size(), static_cast<std::size_t>(perThread));
        for (int i = 0; i < perThread; ++i) {
            EXPECT_EQ(list[i], i);
        }
    }
}

TEST(ManualMainQueue, RestoresThePreviousQueueAtScopeEnd) {
    ScopedManualMainQueue outer;
    {
        ScopedManualMainQueue inner;
        main().async([] {});
        EXPECT_EQ(inner->pending(), 1u);
        EXPECT_EQ(outer->pending(), 0u);
    }
    main().async([] {});
    EXPECT_EQ(outer->pending(), 1u);
}

TEST(GlobalQueues, RunWorkOffTheCallingThreadAtBothPriorities) {
    for (auto qos : {QualityOfService::userInitiated, QualityOfService::background}) {
        std::promise<std::thread::id> ran;
        global(qos).async([&] { ran.set_value(std::this_thread::get_id()); });
        auto future = ran.get_future();
        ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
        EXPECT_NE(future.get(), std::this_thread::get_id());
    }
}

TEST(GlobalQueues, BlockingWorkDoesNotStarveLaterWork) {
    // Four items that each wait until all four have started need four threads at once.
    constexpr int count = 4;
    std::latch started(count);
    std::atomic<int> finished = 0;
    for (int i = 0; i < count; ++i) {
        global(QualityOfService::userInitiated).async([&] {
            started.arrive_and_wait();
            ++finished;
        });
    }
    std::promise<void> later;
    global(QualityOfService::userInitiated).async([&] { later.set_value(); });
    ASSERT_EQ(later.get_future().wait_for(10s), std::future_status::ready);
    for (int i = 0; i < 1000 && finished < count; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(finished.load(), count);
}

TEST(GlobalQueues, DelayedWorkWaitsItsDelayAndRunsInDueOrder) {
    std::mutex mutex;
    std::vector<int> order;
    std::promise<void> done;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration firstAfter{};
    auto& queue = global(QualityOfService::background);
    queue.asyncAfter(120ms, [&] {
        std::lock_guard lock(mutex);
        order.push_back(2);
        done.set_value();
    });
    queue.asyncAfter(60ms, [&] {
        std::lock_guard lock(mutex);
        firstAfter = std::chrono::steady_clock::now() - start;
        order.push_back(1);
    });
    ASSERT_EQ(done.get_future().wait_for(10s), std::future_status::ready);
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_GE(firstAfter, 60ms);
}

TEST(GlobalQueues, WorkerPostsBackToTheMainQueue) {
    ScopedManualMainQueue scoped;
    std::promise<void> posted;
    bool ranOnMain = false;
    global(QualityOfService::userInitiated).async([&] {
        main().async([&] { ranOnMain = m2::platform::Dispatch::isMainThread(); });
        posted.set_value();
    });
    ASSERT_EQ(posted.get_future().wait_for(10s), std::future_status::ready);
    EXPECT_EQ(scoped->drain(), 1u);
    EXPECT_TRUE(ranOnMain);
}

}  // namespace
