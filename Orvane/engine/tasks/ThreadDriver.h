#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Event.h"
#include "platform/Time.h"

// A worker thread started on demand for a queue of opaque items, ended as soon as the queue is
// empty or a stop is requested. The stop event doubles as the abort signal of whatever the items
// do: every socket wait given it ends with 995 once it fires.
//
// Lock order: the start lock before the queue lock. QueueItem and StopWorker take the start
// lock; QueueItem and the worker take the queue lock; the worker never takes the start lock.
class CThreadDriver {
public:
    explicit CThreadDriver(platform::Millis stopTimeout);
    // Stops the worker (StopWorker). Items still queued are never processed; the driver never
    // owns an item, so a derived class that owns its items takes them back first.
    virtual ~CThreadDriver();
    CThreadDriver(const CThreadDriver&) = delete;
    CThreadDriver& operator=(const CThreadDriver&) = delete;

    // Appends `item`. True when a new worker was started for it; false when a running worker
    // will take it, or when no thread could be started (then DiscardItem gets it back).
    // Any thread.
    bool QueueItem(void* item);

    // Signals the stop event and waits up to the stop time-out for the worker to end. The item a
    // worker was started for still runs (with the stop event set); those behind it stay queued.
    // True when it had not ended by then: it is abandoned to finish on its own (see
    // ThreadDriver.cpp).
    bool StopWorker();

    // The stop event, shared: set while no worker runs or a stop was requested.
    platform::Event StopEvent() const;

protected:
    // Runs on the worker for each item, in queue order. The base does nothing. If StopWorker
    // gives up on the worker, this call goes on after the driver has been destroyed: it must
    // touch only what its item keeps alive. It reports its failures itself: an exception that
    // escapes is dropped, and the worker goes on with the next item.
    virtual void ThreadProc(void* item);

    // Gets back an item that will never run because no thread could be started. The base does
    // nothing.
    virtual void DiscardItem(void* item);

    // Takes every item still queued out of the queue, oldest first; for destructors of derived
    // classes that own their items (call StopWorker first).
    std::deque<void*> TakeQueuedItems();

private:
    struct State;

    // With the start lock held: signals the stop event and ends the current worker, if any.
    // True when it had to be abandoned.
    bool EndWorkerLocked();
    static void WorkerProc(std::shared_ptr<State> state, CThreadDriver* driver, std::uint64_t generation);

    const platform::Millis m_stopTimeout;
    std::mutex m_startLock;
    std::thread m_worker;                 // joinable while a worker has not been joined
    std::shared_ptr<State> m_state;       // shared with the worker, which may outlive us
};
