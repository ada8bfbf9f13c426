#pragma once
#include <chrono>

namespace platform {

using Millis = std::chrono::milliseconds;
inline constexpr Millis kInfinite = Millis::max();  // a wait without limit

}  // namespace platform
