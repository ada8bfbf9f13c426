#include "store/RegistryReads.h"

#include "platform/RegistryValues.h"

namespace store {

std::optional<std::uint32_t> ReadIntoFourBytes(const platform::RegistryKey* key, const std::wstring& name,
                                               std::uint32_t preset) {
    if (!key) return std::nullopt;
    const auto value = key->Read(name);
    if (!value || value->data.size() > 4) return std::nullopt;
    std::uint32_t result = preset;
    for (std::size_t k = 0; k < value->data.size(); ++k) {
        result &= ~(0xFFu << (8 * k));
        result |= static_cast<std::uint32_t>(value->data[k]) << (8 * k);
    }
    return result;
}

bool ReadSwitch(const platform::RegistryKey* key, const std::wstring& name) {
    if (!key) return false;
    const auto value = platform::ReadDword(*key, name);
    return value && *value != 0;
}

}  // namespace store
