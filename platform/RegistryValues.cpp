#include "platform/RegistryValues.h"

namespace platform {

std::optional<std::wstring> ReadString(const RegistryKey& key, const std::wstring& name,
                                       std::size_t capacity) {
    const auto value = key.Read(name);
    if (!value) return std::nullopt;
    if (value->type != RegistryType::kString && value->type != RegistryType::kExpandString)
        return std::nullopt;
    const std::size_t size = value->data.size();
    if (size == 0) return std::wstring();  // stored empty, without even a terminator
    if (size % 2 != 0 || size / 2 > capacity) return std::nullopt;
    const std::size_t units = size / 2;
    const std::uint8_t* data = value->data.data();
    if (data[size - 2] != 0 || data[size - 1] != 0) return std::nullopt;
    // Read as a C string would be: up to the first terminator.
    std::size_t length = 0;
    while (length < units && (data[2 * length] != 0 || data[2 * length + 1] != 0)) ++length;
    return FromUtf16Bytes(data, length);
}

std::optional<std::uint32_t> ReadDword(const RegistryKey& key, const std::wstring& name) {
    const auto value = key.Read(name);
    if (!value || value->type != RegistryType::kDword || value->data.size() != 4) return std::nullopt;
    const auto& d = value->data;
    return static_cast<std::uint32_t>(d[0]) | static_cast<std::uint32_t>(d[1]) << 8 |
           static_cast<std::uint32_t>(d[2]) << 16 | static_cast<std::uint32_t>(d[3]) << 24;
}

std::optional<std::vector<std::uint8_t>> ReadBinary(const RegistryKey& key, const std::wstring& name) {
    auto value = key.Read(name);
    if (!value || value->type != RegistryType::kBinary) return std::nullopt;
    return std::move(value->data);
}

bool WriteString(RegistryKey& key, const std::wstring& name, const std::wstring& text,
                 std::uint32_t type) {
    RegistryValue value{type, ToUtf16Bytes(text)};
    value.data.push_back(0);
    value.data.push_back(0);
    return key.Write(name, value);
}

bool WriteDword(RegistryKey& key, const std::wstring& name, std::uint32_t number) {
    RegistryValue value{RegistryType::kDword,
                        {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                         static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
    return key.Write(name, value);
}

bool WriteBinary(RegistryKey& key, const std::wstring& name, const std::vector<std::uint8_t>& data) {
    return key.Write(name, RegistryValue{RegistryType::kBinary, data});
}

std::vector<std::uint8_t> ToUtf16Bytes(const std::wstring& text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    const auto put = [&](std::uint32_t unit) {
        bytes.push_back(static_cast<std::uint8_t>(unit));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if constexpr (sizeof(wchar_t) == 2) {
            put(code);
        } else if (code < 0x10000) {
            put(code);
        } else if (code <= 0x10FFFF) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(0xFFFD);  // not a Unicode character: no UTF-16 form
        }
    }
    return bytes;
}

std::wstring FromUtf16Bytes(const std::uint8_t* data, std::size_t units) {
    std::wstring text;
    text.reserve(units);
    const auto unitAt = [&](std::size_t i) {
        return static_cast<std::uint32_t>(data[2 * i]) | static_cast<std::uint32_t>(data[2 * i + 1]) << 8;
    };
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t unit = unitAt(i);
        if constexpr (sizeof(wchar_t) == 2) {
            text.push_back(static_cast<wchar_t>(unit));
        } else if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units && unitAt(i + 1) >= 0xDC00 &&
                   unitAt(i + 1) < 0xE000) {
            text.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00)));
            ++i;
        } else {
            text.push_back(static_cast<wchar_t>(unit));  // a lone surrogate stays as it is
        }
    }
    return text;
}

}  // namespace platform
