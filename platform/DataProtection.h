#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform {

// Whose secret a protected blob is: only the current user can unprotect a User blob; any user of
// the machine a Machine blob.
enum class ProtectionScope { User, Machine };

// Turns bytes into an opaque blob bound to a user or to the machine, and back. Nothing throws: a
// failure is nullopt (a blob of another user or machine, or a damaged one, does not unprotect).
class DataProtection {
public:
    virtual ~DataProtection() = default;
    virtual std::optional<std::vector<std::uint8_t>> Protect(std::span<const std::uint8_t> clear,
                                                             ProtectionScope scope) = 0;
    virtual std::optional<std::vector<std::uint8_t>> Unprotect(std::span<const std::uint8_t> blob) = 0;
};

// The process's protection: the Windows data-protection API on Windows; off Windows a
// ScrambleProtection, which hides nothing and only stands in for it.
DataProtection& SystemDataProtection();

}  // namespace platform
