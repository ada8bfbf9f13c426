#include "store/RegistryReads.h"

#include "platform/RegistryValues.h"

namespace store {

bool ReadSwitch(const platform::RegistryKey* key, const std::wstring& name) {
    if (!key) return false;
    const auto value = platform::ReadDword(*key, name);
    return value && *value != 0;
}

}  // namespace store
