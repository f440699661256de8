#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/Dispatch.h"
#include "platform/Progress.h"
#include "support/MemoryProgress.h"

using m2::platform::CoalescedProgress;
using m2::platform::ScopedManualMainQueue;
using m2::test::MemoryProgressIndicator;
using m2::test::MemoryTextField;
using namespace std::chrono_literals;

namespace {

struct Shown {
    std::shared_ptr<MemoryProgressIndicator> bar = std::make_shared<MemoryProgressIndicator>();
    std::shared_ptr<MemoryTextField> text = std::make_shared<MemoryTextField>();
    std::shared_ptr<CoalescedProgress> progress = CoalescedProgress::make(bar, text);
};

TEST(CoalescedProgress, StatesReportedBetweenTwoStepsBecomeOneAndTheNewestTextWins) {
    ScopedManualMainQueue queue;
    Shown shown;
    shown.bar->setMaxValue(1000);
    for (int n = 1; n <= 3; ++n) {
        shown.progress->report(1.0, "file " + std::to_string(n));
    }
    EXPECT_EQ(queue->pending() + queue->pendingDelayed(), 1U);
    queue->drain();
    EXPECT_EQ(shown.text->texts(), (std::vector<std::string>{"file 3"}));
    EXPECT_EQ(shown.bar->increments(), (std::vector<double>{3}));

    // Right after a step the next waits out the interval (or, on a slow machine, is due at
    // once): either way one step is on its way, not one per report.
    shown.progress->report(1.0, "file 4");
    shown.progress->report(1.0);  // a step without a text keeps the newest one
    EXPECT_EQ(queue->pending() + queue->pendingDelayed(), 1U);
    queue->advance(CoalescedProgress::defaultInterval);
    queue->drain();
    EXPECT_EQ(shown.text->stringValue(), "file 4");
    EXPECT_EQ(shown.bar->doubleValue(), 5.0);
}

TEST(CoalescedProgress, FlushSendsTheFinalStateAndEveryChangeAheadOfLaterWork) {
    ScopedManualMainQueue queue;
    Shown shown;
    shown.progress->report(1.0, "first");
    queue->drain();
    std::string changes;
    shown.progress->post([&] { changes += 'a'; });
    shown.progress->report(1.0, "last");  // may be held for the interval
    shown.progress->post([&] { changes += 'b'; });
    shown.progress->flush();
    std::string seenAtTheEnd;
    m2::platform::Dispatch::main().async([&] {  // the batch's final step
        seenAtTheEnd = shown.text->stringValue();
        changes += '.';
    });
    queue->drain();
    EXPECT_EQ(seenAtTheEnd, "last");
    EXPECT_EQ(changes, "ab.");  // every change, in order, before the final step
    EXPECT_EQ(shown.bar->doubleValue(), 2.0);
    // A held step that comes due later finds nothing left to show.
    queue->advance(1s);
    queue->drain();
    EXPECT_EQ(shown.text->texts(), (std::vector<std::string>{"first", "last"}));
    shown.progress->flush();  // nothing pending: nothing posted
    EXPECT_EQ(queue->pending(), 0U);
}

TEST(CoalescedProgress, AWorkerNeverWaitsForTheMainThread) {
    ScopedManualMainQueue queue;
    Shown shown;
    shown.bar->setMaxValue(20000);
    // The main thread runs nothing meanwhile; the worker still gets through all its files.
    std::thread worker([progress = shown.progress] {
        for (int n = 1; n <= 20000; ++n) {
            progress->report(1.0, "file " + std::to_string(n));
        }
        progress->flush();
    });
    worker.join();
    EXPECT_LE(queue->pending() + queue->pendingDelayed(), 2U);
    queue->advance(1s);
    queue->drain();
    EXPECT_EQ(shown.text->stringValue(), "file 20000");
    EXPECT_EQ(shown.bar->doubleValue(), 20000.0);
}

}  // namespace
