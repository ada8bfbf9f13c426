#include "platform/TextCodec.h"

#include <array>
#include <cstdint>

#include "platform/posix/Utf8.h"

// Windows-1252 stands in for both ANSI code pages. As in Windows' own table, the five bytes
// that 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same
// value, so every byte round-trips.

namespace platform {

namespace {

constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

// The byte for `c`, or -1 when 1252 has none.
int EncodeOne(wchar_t c) {
    auto code = static_cast<std::uint32_t>(c);
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == code) return static_cast<int>(0x80 + i);
    return -1;
}

}  // namespace

std::string ToAnsi(std::wstring_view text, CodePage page) {
    if (page == CodePage::Utf8) return posix::ToUtf8(text);
    std::string out(text.size(), '?');
    for (std::size_t i = 0; i < text.size(); ++i)
        if (int byte = EncodeOne(text[i]); byte >= 0) out[i] = static_cast<char>(byte);
    return out;
}

std::optional<std::string> ToAnsiExact(std::wstring_view text, CodePage page) {
    if (page == CodePage::Utf8) {
        for (wchar_t unit : text) {
            const auto c = static_cast<std::uint32_t>(unit);
            if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return std::nullopt;
        }
        return posix::ToUtf8(text);
    }
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        int byte = EncodeOne(text[i]);
        if (byte < 0) return std::nullopt;
        out[i] = static_cast<char>(byte);
    }
    return out;
}

std::wstring FromAnsi(std::string_view bytes, CodePage page) {
    if (page == CodePage::Utf8) return posix::FromUtf8(bytes);
    std::wstring out(bytes.size(), L'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] = byte >= 0x80 && byte < 0xA0 ? static_cast<wchar_t>(kHighControls[byte - 0x80])
                                             : static_cast<wchar_t>(byte);
    }
    return out;
}

}  // namespace platform
