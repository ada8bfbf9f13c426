#include "Orvane/engine/tasks/ThreadDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace {

using platform::Millis;

// A driver whose items are run by a function of the test.
class TestDriver : public CThreadDriver {
public:
    TestDriver(Millis stopTimeout, std::function<void(void*)> proc)
        : CThreadDriver(stopTimeout), m_proc(std::move(proc)) {}
    ~TestDriver() override { StopWorker(); }  // before m_proc dies: the worker calls it

protected:
    void ThreadProc(void* item) override { m_proc(item); }

private:
    std::function<void(void*)> m_proc;
};

int Id(void* item) { return *static_cast<int*>(item); }

constexpr Millis kPatience{10000};  // a bound for what must happen at once, never reached when all is well

// The worker tests the queue and sets the stop event under the queue lock; QueueItem tests the
// event again under that lock. Each round lets the worker leave its item at the very moment
// the next one is queued, with a different head start each round, so that QueueItem lands
// before, during and after the worker's decision to end. The item must run every time, and
// never two workers at once.
TEST(ThreadDriverQueue, ItemQueuedAsTheWorkerEndsIsNeverLeftBehind) {
#ifdef _WIN32
    // Under Wine a thread start costs milliseconds and every event test goes to the server.
    constexpr int kRounds = 300;
    constexpr int kHeadStartStep = 2000;
#else
    constexpr int kRounds = 3000;
    constexpr int kHeadStartStep = 20;
#endif
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> leaving{false};
    std::atomic<int> headStart{0};
    std::atomic<int> busy{0};  // work for the head start that the compiler cannot drop
    platform::Event secondRan(platform::EventReset::Auto);
    int first = 1, second = 2;
    TestDriver driver(kPatience, [&](void* item) {
        if (++running > 1) overlapped = true;
        if (Id(item) == 1) {
            leaving = true;
            for (int spin = headStart; spin > 0; --spin) busy.fetch_add(1, std::memory_order_relaxed);
        } else {
            secondRan.Set();
        }
        --running;
    });
    for (int round = 0; round < kRounds; ++round) {
        headStart = (round % 100) * kHeadStartStep;
        leaving = false;
        driver.QueueItem(&first);
        // Spins rather than yields at first: a yield hands the core to the worker, which then
        // always finishes first. Bounded by the clock in case the worker never gets there.
        const auto giveUp = std::chrono::steady_clock::now() + kPatience;
        for (int spin = 0; !leaving && std::chrono::steady_clock::now() < giveUp; ++spin)
            if (spin > 20000) std::this_thread::yield();
        driver.QueueItem(&second);
        ASSERT_TRUE(secondRan.Wait(kPatience)) << "round " << round << ": the item was never run";
    }
    EXPECT_FALSE(overlapped);
}

// A command that has queued its data connection's thread and then, its final reply already in,
// waits for that thread: the thread must run, or the listing is empty and the file unsent, both
// reported as a success. So a stop right after the queueing, before the new worker can have
// taken its item, still runs it. A stop ends the running item through the stop event and leaves
// the items behind it queued: they run first next time. An item that throws (no memory, say)
// ends neither the process nor the items behind it.
TEST(ThreadDriverStop, RunsTheItemAWorkerWasStartedForAndLeavesTheRestQueued) {
    std::vector<int> ran;  // read once an item has signalled
    std::atomic<bool> sawStop{false};
    platform::Event firstRunning(platform::EventReset::Manual);
    platform::Event lastDone(platform::EventReset::Manual);
    int a = 1, b = 2, c = 3, d = 4;
    std::unique_ptr<TestDriver> driver;
    driver = std::make_unique<TestDriver>(kPatience, [&](void* item) {
        ran.push_back(Id(item));
        if (Id(item) == 1) {
            firstRunning.Set();
            sawStop = driver->StopEvent().Wait(kPatience);
        }
        if (Id(item) == 2) throw std::bad_alloc();
        if (Id(item) == 3) lastDone.Set();
    });
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(driver->QueueItem(&d));
        EXPECT_FALSE(driver->StopWorker());
    }
    EXPECT_EQ(ran, std::vector<int>(20, 4));
    ran.clear();
    EXPECT_TRUE(driver->StopEvent().IsSet());  // idle
    EXPECT_TRUE(driver->QueueItem(&a));        // started a worker
    ASSERT_TRUE(firstRunning.Wait(kPatience));
    EXPECT_FALSE(driver->StopEvent().IsSet());  // a task only ever sees it fire as an abort
    EXPECT_FALSE(driver->QueueItem(&b));        // appended to the running worker
    EXPECT_FALSE(driver->StopWorker());          // ended in time: nothing abandoned
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(driver->StopEvent().IsSet());
    EXPECT_EQ(ran, (std::vector<int>{1}));

    driver->QueueItem(&c);
    ASSERT_TRUE(lastDone.Wait(kPatience));
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

// What a stuck item keeps alive for itself: the driver may be gone before it ends.
struct StuckItem {
    platform::Event running{platform::EventReset::Manual};
    platform::Event release{platform::EventReset::Manual};
    platform::Event ended{platform::EventReset::Manual};
    std::vector<int> work;  // touched after the driver is gone; ASan sees any use after free
};

// A worker stuck past the time-out is let go, not killed; a fresh worker runs the queue
// meanwhile, and the stuck one finishes on its own after its driver is gone.
TEST(ThreadDriverStop, WorkerStuckPastTheTimeOutIsLetGoNotKilled) {
    auto stuck = std::make_shared<StuckItem>();
    std::vector<int> ran;
    platform::Event laterDone(platform::EventReset::Manual);
    int later1 = 2, later2 = 3;
    auto driver = std::make_unique<TestDriver>(Millis(50), [&ran, &laterDone](void* item) {
        if (Id(item) != 0) {
            ran.push_back(Id(item));
            if (Id(item) == 3) laterDone.Set();
            return;
        }
        // The item owns a reference to what it uses, as a task owns its inputs.
        auto* owned = static_cast<std::pair<int, std::shared_ptr<StuckItem>>*>(item);
        std::shared_ptr<StuckItem> self = owned->second;
        delete owned;
        self->running.Set();
        self->release.Wait(kPatience);  // ignores the stop event, as a wait without abort would
        self->work.assign(1000, 7);
        self->ended.Set();
    });
    driver->QueueItem(new std::pair<int, std::shared_ptr<StuckItem>>(0, stuck));
    ASSERT_TRUE(stuck->running.Wait(kPatience));
    EXPECT_TRUE(driver->StopWorker());  // reported as the termination it replaces
    EXPECT_TRUE(driver->StopEvent().IsSet());

    EXPECT_TRUE(driver->QueueItem(&later1));  // a fresh worker, while the old one is still stuck
    driver->QueueItem(&later2);
    ASSERT_TRUE(laterDone.Wait(kPatience));
    EXPECT_EQ(ran, (std::vector<int>{2, 3}));
    driver.reset();  // the stuck worker is still inside its item

    stuck->release.Set();
    EXPECT_TRUE(stuck->ended.Wait(kPatience));
    EXPECT_EQ(stuck->work.size(), 1000u);
}

}  // namespace
