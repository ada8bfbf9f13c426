#pragma once
// The end of one wait, for the poll() loops of this backend.
#include <algorithm>
#include <chrono>
#include <climits>

#include "platform/Time.h"

namespace platform::posix {

class Deadline {
public:
    explicit Deadline(Millis limit)
        : m_infinite(limit == kInfinite),
          m_end(Clock::now() + std::clamp(limit, Millis(0), kLongest)) {}

    bool Expired() const { return !m_infinite && Clock::now() >= m_end; }

    // The time left as poll() takes it: -1 without limit, otherwise whole milliseconds rounded up
    // so that a wait never ends just before the deadline and spins.
    int PollTimeout() const {
        if (m_infinite) return -1;
        auto left = std::chrono::ceil<Millis>(m_end - Clock::now()).count();
        return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr Millis kLongest = std::chrono::hours(24 * 365 * 100);  // keeps now + limit in range

    bool m_infinite;
    Clock::time_point m_end;
};

}  // namespace platform::posix
