#pragma once
#include <array>
#include <cstdint>

namespace platform {

// The 16 bytes of a GUID in its memory layout: Data1 (32-bit), Data2 and Data3 (16-bit), each
// little-endian, then the 8 bytes of Data4.
using GuidBytes = std::array<std::uint8_t, 16>;

// A new, random identifier. Throws int when the system cannot make one.
GuidBytes NewGuid();

}  // namespace platform
