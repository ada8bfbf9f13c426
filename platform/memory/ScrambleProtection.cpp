#include "platform/memory/ScrambleProtection.h"

#include <algorithm>
#include <array>

namespace platform {

namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'O', 'S', 'P', '1'};

std::uint8_t Mask(std::size_t at) { return static_cast<std::uint8_t>(0xA5 ^ (at * 31)); }

// FNV-1a over the scrambled bytes, so that any damage shows.
std::uint32_t Checksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t hash = 2166136261u;
    for (std::uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
    return hash;
}

}  // namespace

// Layout: magic, scope byte, scrambled bytes, checksum of everything before it (little endian).
std::optional<std::vector<std::uint8_t>> ScrambleProtection::Protect(std::span<const std::uint8_t> clear,
                                                                     ProtectionScope scope) {
    m_lastScope = scope;
    std::vector<std::uint8_t> blob(kMagic.begin(), kMagic.end());
    blob.push_back(scope == ProtectionScope::Machine ? 1 : 0);
    for (std::size_t at = 0; at < clear.size(); ++at) blob.push_back(clear[at] ^ Mask(at));
    const std::uint32_t sum = Checksum(blob);
    for (int shift = 0; shift < 32; shift += 8) blob.push_back(static_cast<std::uint8_t>(sum >> shift));
    return blob;
}

std::optional<std::vector<std::uint8_t>> ScrambleProtection::Unprotect(std::span<const std::uint8_t> blob) {
    constexpr std::size_t kOverhead = kMagic.size() + 1 + 4;
    if (blob.size() < kOverhead || !std::equal(kMagic.begin(), kMagic.end(), blob.begin())) return std::nullopt;
    const std::size_t body = blob.size() - 4;
    std::uint32_t sum = 0;
    for (int k = 0; k < 4; ++k) sum |= static_cast<std::uint32_t>(blob[body + k]) << (8 * k);
    if (sum != Checksum(blob.first(body)) || blob[kMagic.size()] > 1) return std::nullopt;
    std::vector<std::uint8_t> clear;
    for (std::size_t at = kMagic.size() + 1; at < body; ++at)
        clear.push_back(blob[at] ^ Mask(at - kMagic.size() - 1));
    return clear;
}

}  // namespace platform
