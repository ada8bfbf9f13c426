#include "Orvane/engine/tasks/TaskLanes.h"

#include <system_error>
#include <utility>

CTaskLanes::CTaskLanes(std::size_t count, Lane lane) : m_lane(std::move(lane)) {
    m_aborts.reserve(count);
    for (std::size_t i = 0; i < count; ++i) m_aborts.emplace_back(platform::EventReset::Manual);
    m_threads.reserve(count);
}

// Run joins every thread it started; this only covers a Run left by an exception.
CTaskLanes::~CTaskLanes() {
    for (platform::Event& abort : m_aborts) abort.Set();
    for (std::thread& thread : m_threads)
        if (thread.joinable()) thread.join();
}

void CTaskLanes::Admit() {
    m_admit = true;
    m_admitted.Set();
}

void CTaskLanes::Body(std::size_t index) noexcept {
    try {
        m_lane(index, m_aborts[index]);
    } catch (...) {
        // The lane reports its own failures; nothing may end the process from here.
    }
    if (index == 0) m_admitted.Set();  // wakes Run, which starts no other lane without Admit
    Leave();
}

void CTaskLanes::Leave() noexcept {
    if (--m_running == 0) m_ended.Set();
}

void CTaskLanes::Start(std::size_t index) {
    ++m_running;
    try {
        m_threads.emplace_back(&CTaskLanes::Body, this, index);
    } catch (const std::system_error&) {
        Leave();  // the task goes on with the lanes it has
        throw;
    }
}

void CTaskLanes::Run(platform::Event stop) {
    if (m_aborts.empty()) return;
    // Run holds a count of its own until it has started every lane it will, so that the lanes
    // cannot signal the end while more are still to come.
    m_running = 1;
    try {
        Start(0);
    } catch (const std::system_error&) {
        m_running = 0;
        m_lane(0, std::move(stop));
        return;
    }
    if (platform::WaitForEither(m_admitted, stop, platform::kInfinite) == 0 && m_admit) {
        for (std::size_t i = 1; i < m_aborts.size(); ++i) {
            try {
                Start(i);
            } catch (const std::system_error&) {
                break;
            }
        }
    }
    Leave();
    // Every wait of a lane is bounded, so the lanes end by themselves; the stop only hurries
    // them (the first wait ends either way: on a stop, the second sees it set).
    if (platform::WaitForEither(m_ended, stop, platform::kInfinite) == 1) {
        for (platform::Event& abort : m_aborts) abort.Set();
        m_ended.Wait(platform::kInfinite);
    }
    for (std::thread& thread : m_threads) thread.join();
    m_threads.clear();
}
