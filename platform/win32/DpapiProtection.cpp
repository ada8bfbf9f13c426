#include "platform/win32/DpapiProtection.h"

#include <climits>

namespace platform::win32 {

namespace {

// The output blob of CryptProtectData/CryptUnprotectData, freed with LocalFree.
class LocalBlob {
public:
    LocalBlob() = default;
    ~LocalBlob() {
        if (blob.pbData) ::LocalFree(blob.pbData);
    }
    LocalBlob(const LocalBlob&) = delete;
    LocalBlob& operator=(const LocalBlob&) = delete;

    std::vector<std::uint8_t> Bytes() const { return {blob.pbData, blob.pbData + blob.cbData}; }

    DATA_BLOB blob{};
};

// The API takes its input through a non-const pointer but does not write it.
DATA_BLOB Input(std::span<const std::uint8_t> bytes) {
    return DATA_BLOB{static_cast<DWORD>(bytes.size()), const_cast<BYTE*>(bytes.data())};
}

}  // namespace

DpapiProtection::DpapiProtection(ProtectFunction protect, UnprotectFunction unprotect)
    : m_protect(protect), m_unprotect(unprotect) {}

std::optional<std::vector<std::uint8_t>> DpapiProtection::Protect(std::span<const std::uint8_t> clear,
                                                                   ProtectionScope scope) {
    if (clear.size() > UINT_MAX) return std::nullopt;
    DATA_BLOB in = Input(clear);
    LocalBlob out;
    const DWORD flags =
        CRYPTPROTECT_UI_FORBIDDEN | (scope == ProtectionScope::Machine ? CRYPTPROTECT_LOCAL_MACHINE : 0);
    if (!m_protect(&in, nullptr, nullptr, nullptr, nullptr, flags, &out.blob)) return std::nullopt;
    return out.Bytes();
}

std::optional<std::vector<std::uint8_t>> DpapiProtection::Unprotect(std::span<const std::uint8_t> blob) {
    if (blob.size() > UINT_MAX) return std::nullopt;
    DATA_BLOB in = Input(blob);
    LocalBlob out;
    if (!m_unprotect(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob))
        return std::nullopt;
    return out.Bytes();
}

}  // namespace platform::win32
