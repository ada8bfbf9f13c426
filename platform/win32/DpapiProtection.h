#pragma once
// The Windows data-protection API behind DataProtection. Its two entry points can be replaced, so
// that a test can see the flags a caller's scope turns into while the real API does the work.
#include <windows.h>
#include <dpapi.h>

#include "platform/DataProtection.h"

namespace platform::win32 {

using ProtectFunction = BOOL(WINAPI*)(DATA_BLOB*, LPCWSTR, DATA_BLOB*, PVOID, CRYPTPROTECT_PROMPTSTRUCT*,
                                      DWORD, DATA_BLOB*);
using UnprotectFunction = BOOL(WINAPI*)(DATA_BLOB*, LPWSTR*, DATA_BLOB*, PVOID, CRYPTPROTECT_PROMPTSTRUCT*,
                                        DWORD, DATA_BLOB*);

// Protects with CRYPTPROTECT_UI_FORBIDDEN, plus CRYPTPROTECT_LOCAL_MACHINE for the machine scope;
// unprotects with CRYPTPROTECT_UI_FORBIDDEN alone (the blob knows its scope). No description,
// entropy or prompt either way, so that both deliverables read what either wrote.
class DpapiProtection final : public DataProtection {
public:
    explicit DpapiProtection(ProtectFunction protect = &::CryptProtectData,
                             UnprotectFunction unprotect = &::CryptUnprotectData);

    std::optional<std::vector<std::uint8_t>> Protect(std::span<const std::uint8_t> clear,
                                                     ProtectionScope scope) override;
    std::optional<std::vector<std::uint8_t>> Unprotect(std::span<const std::uint8_t> blob) override;

private:
    ProtectFunction m_protect;
    UnprotectFunction m_unprotect;
};

}  // namespace platform::win32
