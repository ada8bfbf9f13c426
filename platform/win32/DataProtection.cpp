#include "platform/DataProtection.h"

#include <windows.h>
#include <dpapi.h>

#include <climits>

namespace platform {

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

DATA_BLOB Input(std::span<const std::uint8_t> bytes) {
    return DATA_BLOB{static_cast<DWORD>(bytes.size()), const_cast<BYTE*>(bytes.data())};
}

class Dpapi final : public DataProtection {
public:
    std::optional<std::vector<std::uint8_t>> Protect(std::span<const std::uint8_t> clear,
                                                     ProtectionScope scope) override {
        if (clear.size() > UINT_MAX) return std::nullopt;
        DATA_BLOB in = Input(clear);
        LocalBlob out;
        const DWORD flags = CRYPTPROTECT_UI_FORBIDDEN |
                            (scope == ProtectionScope::Machine ? CRYPTPROTECT_LOCAL_MACHINE : 0);
        if (!::CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, flags, &out.blob)) return std::nullopt;
        return out.Bytes();
    }

    std::optional<std::vector<std::uint8_t>> Unprotect(std::span<const std::uint8_t> blob) override {
        if (blob.size() > UINT_MAX) return std::nullopt;
        DATA_BLOB in = Input(blob);
        LocalBlob out;
        if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                                  &out.blob))
            return std::nullopt;
        return out.Bytes();
    }
};

}  // namespace

DataProtection& SystemDataProtection() {
    static Dpapi protection;
    return protection;
}

}  // namespace platform
