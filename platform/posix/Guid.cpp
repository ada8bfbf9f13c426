#include "platform/Guid.h"

#include <random>

namespace platform {

GuidBytes NewGuid() {
    static thread_local std::random_device source;
    GuidBytes bytes;
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(source());
    bytes[7] = static_cast<std::uint8_t>((bytes[7] & 0x0F) | 0x40);  // version 4: random
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // the RFC 4122 variant
    return bytes;
}

}  // namespace platform
