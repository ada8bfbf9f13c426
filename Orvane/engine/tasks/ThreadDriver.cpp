#include "Orvane/engine/tasks/ThreadDriver.h"

#include <system_error>
#include <utility>

// What the driver shares with its worker. The worker holds its own reference, so that a worker
// abandoned by StopWorker can still finish with the events, the lock and the queue alive after
// the driver itself is gone.
struct CThreadDriver::State {
    platform::Event stop{platform::EventReset::Manual, true};      // idle, or stop requested
    platform::Event finished{platform::EventReset::Manual, true};  // idle
    std::mutex queueLock;
    std::deque<void*> queue;          // first in, first out
    std::uint64_t generation = 0;     // the worker whose loop may go on; bumped to let one go
};

CThreadDriver::CThreadDriver(platform::Millis stopTimeout)
    : m_stopTimeout(stopTimeout), m_state(std::make_shared<State>()) {}

CThreadDriver::~CThreadDriver() { StopWorker(); }

platform::Event CThreadDriver::StopEvent() const { return m_state->stop; }

void CThreadDriver::ThreadProc(void*) {}

void CThreadDriver::DiscardItem(void*) {}

bool CThreadDriver::QueueItem(void* item) {
    std::lock_guard start(m_startLock);
    if (!m_state->stop.IsSet()) {
        std::lock_guard queue(m_state->queueLock);
        // Tested again under the queue lock: a worker that has decided to end has set the stop
        // event under this lock, so it cannot miss an item appended here.
        if (!m_state->stop.IsSet()) {
            m_state->queue.push_back(item);
            return false;
        }
    }
    // No worker, or one that is ending: let it end (joining it), so that only one ever runs.
    EndWorkerLocked();
    std::uint64_t generation;
    {
        std::lock_guard queue(m_state->queueLock);
        m_state->queue.push_back(item);
        generation = ++m_state->generation;
    }
    m_state->stop.Reset();
    m_state->finished.Reset();
    try {
        m_worker = std::thread(&CThreadDriver::WorkerProc, m_state, this, generation);
    } catch (const std::system_error&) {
        // Items queued earlier stay and run when the next worker starts; this one never will.
        {
            std::lock_guard queue(m_state->queueLock);
            m_state->queue.pop_back();
        }
        m_state->stop.Set();
        m_state->finished.Set();
        DiscardItem(item);
        return false;
    }
    return true;
}

bool CThreadDriver::StopWorker() {
    std::lock_guard start(m_startLock);
    return EndWorkerLocked();
}

bool CThreadDriver::EndWorkerLocked() {
    if (!m_worker.joinable()) return false;
    m_state->stop.Set();  // the running item's socket waits now fail with 995
    if (m_state->finished.Wait(m_stopTimeout)) {
        m_worker.join();
        return false;
    }
    // The worker is stuck past the stop time-out. Killing a thread would leave whatever locks
    // it holds locked and the heap half updated, so it is let go instead: its loop sees the new
    // generation and ends without taking another item or touching the events again, and the
    // state it uses stays alive through its own reference. The driver is idle from here on.
    {
        std::lock_guard queue(m_state->queueLock);
        ++m_state->generation;
    }
    m_worker.detach();
    m_state->stop.Set();
    m_state->finished.Set();
    return true;
}

std::deque<void*> CThreadDriver::TakeQueuedItems() {
    std::lock_guard queue(m_state->queueLock);
    return std::exchange(m_state->queue, {});
}

void CThreadDriver::WorkerProc(std::shared_ptr<State> state, CThreadDriver* driver,
                               std::uint64_t generation) {
    // The item the worker was started for runs even when a stop came first: its owner may wait
    // for what it does (a data connection's thread, a task's done message). A stop only keeps
    // the worker from taking another one.
    for (bool first = true;; first = false) {
        void* item;
        {
            std::lock_guard queue(state->queueLock);
            if (state->generation != generation) return;  // let go by StopWorker: touch nothing
            if (state->queue.empty() || (!first && state->stop.IsSet())) {
                // Signalled before the queue lock is released: QueueItem then either appended
                // its item before this test, or sees the stop event set and starts a worker.
                state->stop.Set();
                state->finished.Set();
                return;
            }
            item = state->queue.front();
            state->queue.pop_front();
        }
        try {
            driver->ThreadProc(item);
        } catch (...) {
            // ThreadProc reports its own failures; anything that still gets out must not end
            // the process (std::terminate) or the items queued behind this one.
        }
    }
}
