#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <latch>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
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

// A job that throws (a file system error on a worker, say) ends only itself: the process
// lives on and the thread that ran it takes the next job.
TEST(GlobalQueues, AThrowingJobEndsNeitherTheProgramNorItsThread) {
    const auto count = std::make_shared<std::atomic<int>>(0);
    for (int i = 0; i < 64; ++i) {
        global(QualityOfService::background).async([] { throw std::runtime_error("worker"); });
        global(QualityOfService::background).async([] { throw 42; });
    }
    auto after = std::make_shared<std::promise<void>>();
    auto afterRan = after->get_future();
    global(QualityOfService::background).asyncAfter(50ms, [count, after] {
        ++*count;
        after->set_value();
    });
    ASSERT_EQ(afterRan.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(count->load(), 1);
}

// The program's end waits for running work, and for work it posts on, while the main
// thread's events go on; delayed work is not waited for.
TEST(GlobalQueues, WaitingForWorkersEndsOnlyOnceRunningAndDueWorkIsDone) {
    ScopedManualMainQueue queue;
    struct Shared {
        std::atomic<bool> release = false;
        std::atomic<bool> secondDone = false;
    };
    const auto shared = std::make_shared<Shared>();
    global(QualityOfService::userInitiated).async([shared] {
        // Waits for the main thread, as a worker asking a question does.
        std::promise<void> answered;
        main().async([&answered] { answered.set_value(); });
        answered.get_future().wait();
        while (!shared->release) {
            std::this_thread::sleep_for(1ms);
        }
        global(QualityOfService::background).async([shared] {
            std::this_thread::sleep_for(20ms);
            shared->secondDone = true;
        });
    });
    global(QualityOfService::background).asyncAfter(1h, [] {});
    EXPECT_FALSE(m2::platform::Dispatch::waitForWorkers(50ms, [&] { queue->drain(); }));
    shared->release = true;
    EXPECT_TRUE(m2::platform::Dispatch::waitForWorkers(20s, [&] { queue->drain(); }));
    EXPECT_TRUE(shared->secondDone);
}

TEST(GlobalQueues, BlockingWorkDoesNotStarveLaterWork) {
    // Four items that each wait until all four have started need four threads at once. The
    // items hold their state themselves, so none outlives what it uses.
    constexpr int count = 4;
    struct Shared {
        std::latch started{count};
        std::atomic<int> finished = 0;
    };
    const auto shared = std::make_shared<Shared>();
    for (int i = 0; i < count; ++i) {
        global(QualityOfService::userInitiated).async([shared] {
            shared->started.arrive_and_wait();
            ++shared->finished;
        });
    }
    auto later = std::make_shared<std::promise<void>>();
    auto laterRan = later->get_future();
    global(QualityOfService::userInitiated).async([later] { later->set_value(); });
    ASSERT_EQ(laterRan.wait_for(20s), std::future_status::ready);
    for (int i = 0; i < 2000 && shared->finished < count; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(shared->finished.load(), count);
}

TEST(GlobalQueues, DelayedWorkWaitsItsDelayAndRunsInDueOrder) {
    // The later item is due a whole second after the earlier one, a margin no load on the
    // machine eats: the order seen is the queue's, not the thread scheduler's. Both items
    // keep their state alive themselves, and the test waits for both.
    using Clock = std::chrono::steady_clock;
    struct Runs {
        std::mutex mutex;
        std::condition_variable ran;
        std::vector<std::pair<int, Clock::duration>> order;
    };
    const auto runs = std::make_shared<Runs>();
    const auto start = Clock::now();
    const auto item = [runs, start](int number) {
        return [runs, start, number] {
            std::lock_guard lock(runs->mutex);
            runs->order.emplace_back(number, Clock::now() - start);
            runs->ran.notify_all();
        };
    };
    auto& queue = global(QualityOfService::background);
    queue.asyncAfter(1050ms, item(2));
    queue.asyncAfter(50ms, item(1));
    std::unique_lock lock(runs->mutex);
    ASSERT_TRUE(runs->ran.wait_for(lock, 30s, [&] { return runs->order.size() == 2; }));
    EXPECT_EQ(runs->order[0].first, 1);
    EXPECT_EQ(runs->order[1].first, 2);
    EXPECT_GE(runs->order[0].second, 50ms);
    EXPECT_GE(runs->order[1].second, 1050ms);
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
