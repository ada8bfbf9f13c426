#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Registry.h"

namespace platform {

// Typed reads and writes over RegistryKey. A string read is bounded: the value must be REG_SZ or
// REG_EXPAND_SZ (used unexpanded), hold whole UTF-16 units and end with a terminator within
// `capacity` characters (terminator included); anything else reads as nullopt.
std::optional<std::wstring> ReadString(const RegistryKey& key, const std::wstring& name,
                                       std::size_t capacity);
std::optional<std::uint32_t> ReadDword(const RegistryKey& key, const std::wstring& name);
std::optional<std::vector<std::uint8_t>> ReadBinary(const RegistryKey& key, const std::wstring& name);

bool WriteString(RegistryKey& key, const std::wstring& name, const std::wstring& text,
                 std::uint32_t type = RegistryType::kString);  // stored with its terminator
bool WriteDword(RegistryKey& key, const std::wstring& name, std::uint32_t value);
bool WriteBinary(RegistryKey& key, const std::wstring& name, const std::vector<std::uint8_t>& data);

// UTF-16LE bytes of `text` (no terminator), and back; wchar_t is 32 bits off Windows.
std::vector<std::uint8_t> ToUtf16Bytes(const std::wstring& text);
std::wstring FromUtf16Bytes(const std::uint8_t* data, std::size_t units);

}  // namespace platform
