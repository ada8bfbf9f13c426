#include "Orvane/engine/tasks/ThreadDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
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

    using CThreadDriver::TakeQueuedItems;

protected:
    void ThreadProc(void* item) override { m_proc(item); }

private:
    std::function<void(void*)> m_proc;
};

// Records which items ran, on which thread, and whether two ever ran at once.
struct RunLog {
    std::mutex lock;
    std::vector<int> items;
    std::vector<std::thread::id> threads;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};

    void Enter(int item) {
        if (++running > 1) overlapped = true;
        std::lock_guard guard(lock);
        items.push_back(item);
        threads.push_back(std::this_thread::get_id());
    }
    void Leave() { --running; }
    std::vector<int> Items() {
        std::lock_guard guard(lock);
        return items;
    }
};

int Id(void* item) { return *static_cast<int*>(item); }

constexpr Millis kPatience{10000};  // a bound for what must happen at once, never reached when all is well

// ---- Queueing -------------------------------------------------------------------------------

TEST(ThreadDriverQueue, ItemQueuedWhileOneRunsJoinsTheSameWorker) {
    RunLog log;
    platform::Event firstRunning(platform::EventReset::Manual);
    platform::Event releaseFirst(platform::EventReset::Manual);
    platform::Event secondDone(platform::EventReset::Manual);
    int first = 1, second = 2;
    TestDriver driver(kPatience, [&](void* item) {
        log.Enter(Id(item));
        if (Id(item) == 1) {
            firstRunning.Set();
            releaseFirst.Wait(kPatience);
        } else {
            secondDone.Set();
        }
        log.Leave();
    });

    EXPECT_TRUE(driver.QueueItem(&first));  // started a worker
    ASSERT_TRUE(firstRunning.Wait(kPatience));
    EXPECT_FALSE(driver.QueueItem(&second));  // appended to it
    releaseFirst.Set();
    ASSERT_TRUE(secondDone.Wait(kPatience));

    EXPECT_EQ(log.Items(), (std::vector<int>{1, 2}));
    EXPECT_EQ(log.threads[0], log.threads[1]);
    EXPECT_FALSE(log.overlapped);
}

TEST(ThreadDriverQueue, StopEventIsClearWhileAWorkerRunsAndSetWhenIdle) {
    platform::Event observed(platform::EventReset::Manual);
    std::atomic<bool> stopSeenByItem{true};
    int item = 1;
    std::unique_ptr<TestDriver> driver;
    driver = std::make_unique<TestDriver>(kPatience, [&](void*) {
        stopSeenByItem = driver->StopEvent().IsSet();
        observed.Set();
    });
    EXPECT_TRUE(driver->StopEvent().IsSet());
    driver->QueueItem(&item);
    ASSERT_TRUE(observed.Wait(kPatience));
    EXPECT_FALSE(stopSeenByItem);  // a task only ever sees it fire as an abort
    EXPECT_FALSE(driver->StopWorker());
    EXPECT_TRUE(driver->StopEvent().IsSet());
}

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
    RunLog log;
    std::atomic<bool> leaving{false};
    std::atomic<int> headStart{0};
    std::atomic<int> busy{0};  // work for the head start that the compiler cannot drop
    platform::Event secondRan(platform::EventReset::Auto);
    int first = 1, second = 2;
    TestDriver driver(kPatience, [&](void* item) {
        if (++log.running > 1) log.overlapped = true;
        if (Id(item) == 1) {
            leaving = true;
            for (int spin = headStart; spin > 0; --spin) busy.fetch_add(1, std::memory_order_relaxed);
        } else {
            secondRan.Set();
        }
        --log.running;
    });

    int startedNewWorker = 0;
    for (int round = 0; round < kRounds; ++round) {
        headStart = (round % 100) * kHeadStartStep;
        leaving = false;
        driver.QueueItem(&first);
        // Spins rather than yields at first: a yield hands the core to the worker, which then
        // always finishes first. When the worker has no core of its own, yielding lets it run.
        // Bounded by the clock in case the worker never gets there.
        const auto giveUp = std::chrono::steady_clock::now() + kPatience;
        for (int spin = 0; !leaving && std::chrono::steady_clock::now() < giveUp; ++spin)
            if (spin > 20000) std::this_thread::yield();
        if (driver.QueueItem(&second)) ++startedNewWorker;
        ASSERT_TRUE(secondRan.Wait(kPatience)) << "round " << round << ": the item was never run";
    }
    EXPECT_FALSE(log.overlapped);
    // Which way each round went depends on the scheduler; both are correct.
    std::printf("rounds: %d, of them %d started a new worker\n", kRounds, startedNewWorker);
}

// An item that throws (no memory, say) must not end the process, nor the work queued behind it.
TEST(ThreadDriverQueue, ItemThatThrowsLeavesTheProcessAndLaterItemsAlone) {
    platform::Event secondRan(platform::EventReset::Manual);
    int first = 1, second = 2;
    TestDriver driver(kPatience, [&](void* item) {
        if (Id(item) == 1) throw std::bad_alloc();
        secondRan.Set();
    });
    driver.QueueItem(&first);
    driver.QueueItem(&second);
    EXPECT_TRUE(secondRan.Wait(kPatience));
}

// ---- Stopping -------------------------------------------------------------------------------

// A command that has queued its data connection's thread and then, its final reply already in,
// waits for that thread: the thread must run, or the listing is empty and the file unsent, both
// reported as a success. Stopped at once, before the new worker can have taken its item.
TEST(ThreadDriverStop, StopRightAfterQueueingStillRunsTheItemTheWorkerWasStartedFor) {
    std::atomic<int> ran{0};
    int item = 1;
    TestDriver driver(kPatience, [&](void*) { ++ran; });
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(driver.QueueItem(&item));
        EXPECT_FALSE(driver.StopWorker());
        EXPECT_EQ(ran, round + 1);
    }
}

TEST(ThreadDriverStop, StopEndsAWorkerThatWaitsOnTheStopEvent) {
    platform::Event running(platform::EventReset::Manual);
    std::atomic<bool> sawStop{false};
    int item = 1;
    std::unique_ptr<TestDriver> driver;
    driver = std::make_unique<TestDriver>(kPatience, [&](void*) {
        running.Set();
        platform::Event stop = driver->StopEvent();
        sawStop = stop.Wait(kPatience);
    });
    driver->QueueItem(&item);
    ASSERT_TRUE(running.Wait(kPatience));
    EXPECT_FALSE(driver->StopWorker());  // ended in time: nothing abandoned
    EXPECT_TRUE(sawStop);
}

TEST(ThreadDriverStop, ItemsBehindAStoppedOneStayQueuedAndRunFirstNextTime) {
    RunLog log;
    platform::Event firstRunning(platform::EventReset::Manual);
    platform::Event thirdDone(platform::EventReset::Manual);
    int a = 1, b = 2, c = 3;
    std::unique_ptr<TestDriver> driver;
    driver = std::make_unique<TestDriver>(kPatience, [&](void* item) {
        log.Enter(Id(item));
        if (Id(item) == 1) {
            firstRunning.Set();
            platform::Event stop = driver->StopEvent();
            stop.Wait(kPatience);
        }
        if (Id(item) == 3) thirdDone.Set();
        log.Leave();
    });
    driver->QueueItem(&a);
    ASSERT_TRUE(firstRunning.Wait(kPatience));
    driver->QueueItem(&b);
    EXPECT_FALSE(driver->StopWorker());
    EXPECT_EQ(log.Items(), (std::vector<int>{1}));

    EXPECT_TRUE(driver->QueueItem(&c));
    ASSERT_TRUE(thirdDone.Wait(kPatience));
    EXPECT_EQ(log.Items(), (std::vector<int>{1, 2, 3}));
}

TEST(ThreadDriverStop, DestroyingTheDriverLeavesQueuedItemsToTheirOwner) {
    platform::Event firstRunning(platform::EventReset::Manual);
    int a = 1, b = 2, c = 3;
    std::vector<int> ran;
    std::unique_ptr<TestDriver> driver;
    driver = std::make_unique<TestDriver>(kPatience, [&](void* item) {
        ran.push_back(Id(item));
        firstRunning.Set();
        platform::Event stop = driver->StopEvent();
        stop.Wait(kPatience);
    });
    driver->QueueItem(&a);
    ASSERT_TRUE(firstRunning.Wait(kPatience));
    driver->QueueItem(&b);
    driver->QueueItem(&c);
    driver->StopWorker();
    std::deque<void*> left = driver->TakeQueuedItems();
    driver.reset();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(Id(left[0]), 2);
    EXPECT_EQ(Id(left[1]), 3);
    EXPECT_EQ(ran, (std::vector<int>{1}));
}

// What a stuck item keeps alive for itself: the driver may be gone before it ends.
struct StuckItem {
    platform::Event running{platform::EventReset::Manual};
    platform::Event release{platform::EventReset::Manual};
    platform::Event ended{platform::EventReset::Manual};
    std::vector<int> work;  // touched after the driver is gone; ASan sees any use after free
};

TEST(ThreadDriverStop, WorkerStuckPastTheTimeOutIsLetGoNotKilled) {
    auto stuck = std::make_shared<StuckItem>();
    std::shared_ptr<StuckItem> keep = stuck;
    auto driver = std::make_unique<TestDriver>(Millis(50), [](void* item) {
        // The item owns a reference to what it uses, as a task owns its inputs.
        std::shared_ptr<StuckItem> self(*static_cast<std::shared_ptr<StuckItem>*>(item));
        delete static_cast<std::shared_ptr<StuckItem>*>(item);
        self->running.Set();
        self->release.Wait(kPatience);  // ignores the stop event, as a wait without abort would
        self->work.assign(1000, 7);
        self->ended.Set();
    });
    driver->QueueItem(new std::shared_ptr<StuckItem>(keep));
    ASSERT_TRUE(stuck->running.Wait(kPatience));

    EXPECT_TRUE(driver->StopWorker());  // reported as the termination it replaces
    EXPECT_TRUE(driver->StopEvent().IsSet());
    driver.reset();  // the worker is still inside its item

    stuck->release.Set();
    EXPECT_TRUE(stuck->ended.Wait(kPatience));  // it finished on its own
    EXPECT_EQ(stuck->work.size(), 1000u);
}

TEST(ThreadDriverStop, NewWorkerAfterALetGoOneRunsTheQueueAlone) {
    auto stuck = std::make_shared<StuckItem>();
    RunLog log;
    platform::Event laterDone(platform::EventReset::Manual);
    int later1 = 2, later2 = 3;
    std::shared_ptr<StuckItem> first = stuck;
    TestDriver driver(Millis(50), [&](void* item) {
        if (item == &first) {
            first->running.Set();
            first->release.Wait(kPatience);
            first->ended.Set();
            return;
        }
        log.Enter(Id(item));
        if (Id(item) == 3) laterDone.Set();
        log.Leave();
    });
    driver.QueueItem(&first);
    ASSERT_TRUE(stuck->running.Wait(kPatience));
    EXPECT_TRUE(driver.StopWorker());

    EXPECT_TRUE(driver.QueueItem(&later1));  // a fresh worker, while the old one is still stuck
    driver.QueueItem(&later2);
    ASSERT_TRUE(laterDone.Wait(kPatience));
    stuck->release.Set();
    ASSERT_TRUE(stuck->ended.Wait(kPatience));
    EXPECT_EQ(log.Items(), (std::vector<int>{2, 3}));
    EXPECT_FALSE(log.overlapped);
}

}  // namespace
