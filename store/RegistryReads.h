#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Registry.h"

namespace store {

// Strings are read into 260 UTF-16 units: up to 259 characters and their terminator.
inline constexpr std::size_t kStringCapacity = 260;

// The registry's own reads of a value into a 4-byte buffer that holds `preset` beforehand: a
// value of 4 bytes or fewer lands in its low bytes whatever its type; a larger one does not fit,
// and the read fails.
std::optional<std::uint32_t> ReadIntoFourBytes(const platform::RegistryKey* key, const std::wstring& name,
                                               std::uint32_t preset);

// A switch: on only when the value is a REG_DWORD of exactly 4 bytes that is not 0.
bool ReadSwitch(const platform::RegistryKey* key, const std::wstring& name);

}  // namespace store
