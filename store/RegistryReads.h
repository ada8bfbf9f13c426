#pragma once
#include <cstddef>
#include <string>

#include "platform/Registry.h"

namespace store {

// Strings are read into 260 UTF-16 units: up to 259 characters and their terminator.
inline constexpr std::size_t kStringCapacity = 260;

// A switch: on only when the value is a REG_DWORD of exactly 4 bytes that is not 0.
bool ReadSwitch(const platform::RegistryKey* key, const std::wstring& name);

}  // namespace store
