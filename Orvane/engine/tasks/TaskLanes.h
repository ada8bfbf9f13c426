#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

#include "platform/Event.h"

// The connections ("lanes") of one task, side by side: each runs on a thread of its own and
// waits on an abort event of its own. A lane that fails signals its own event (a STOR does, to
// stop its transfer), and that must not cut short what the other lanes are sending; the task's
// stop, though, must reach them all, so Run passes it on to every lane.
//
// Lane 0 starts at once; the others only once lane 0 has called Admit() (it is logged in: a
// server that counts connections per address has counted it first, and a wrong password is
// tried once, not once a lane), and never when lane 0 ends without. Nothing outlives Run.
class CTaskLanes {
public:
    // `lane` runs once for each lane, with its index and its abort event. It reports its own
    // failures: what it throws is dropped.
    using Lane = std::function<void(std::size_t index, platform::Event abort)>;

    CTaskLanes(std::size_t count, Lane lane);
    ~CTaskLanes();
    CTaskLanes(const CTaskLanes&) = delete;
    CTaskLanes& operator=(const CTaskLanes&) = delete;

    // From lane 0: the other lanes may start.
    void Admit();

    // Runs the lanes on the calling thread's behalf and returns when every lane it started has
    // ended. Once `stop` fires, every lane's abort event is set. When no thread can be started
    // for lane 0, lane 0 runs right here, on `stop` itself, and alone. Throws what lane 0 throws
    // then; nothing otherwise.
    void Run(platform::Event stop);

private:
    void Start(std::size_t index);
    void Body(std::size_t index) noexcept;
    void Leave() noexcept;  // one lane (or Run itself) is done

    const Lane m_lane;
    std::vector<platform::Event> m_aborts;
    std::vector<std::thread> m_threads;
    std::atomic<bool> m_admit{false};
    platform::Event m_admitted{platform::EventReset::Manual};  // Admit, or lane 0 ended
    std::atomic<int> m_running{0};                              // lanes under way, and Run itself
    platform::Event m_ended{platform::EventReset::Manual};      // m_running reached 0
};
