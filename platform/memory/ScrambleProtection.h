#pragma once
#include "platform/DataProtection.h"

namespace platform {

// A stand-in for the Windows data-protection API where there is none: reversible, not secret.
// Its blobs look like the real ones where callers can tell: they do not hold the clear bytes,
// carry their scope, and a damaged blob does not unprotect. Remembers the scope of the last
// Protect, so that tests can see which scope a caller asked for.
class ScrambleProtection final : public DataProtection {
public:
    std::optional<std::vector<std::uint8_t>> Protect(std::span<const std::uint8_t> clear,
                                                     ProtectionScope scope) override;
    std::optional<std::vector<std::uint8_t>> Unprotect(std::span<const std::uint8_t> blob) override;

    std::optional<ProtectionScope> LastScope() const { return m_lastScope; }

private:
    std::optional<ProtectionScope> m_lastScope;
};

}  // namespace platform
