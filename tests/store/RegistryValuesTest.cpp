// Bounded string reads and the typed helpers, on raw values as they may be found in the registry.
#include <gtest/gtest.h>

#include "platform/RegistryValues.h"
#include "tests/store/RegistryBackends.h"

using namespace platform;
using storetest::Backend;

namespace {

std::vector<std::uint8_t> Utf16(const std::wstring& text, bool terminated = true) {
    auto bytes = ToUtf16Bytes(text);
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

class RegistryValues : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        m_key = m_registry.Get().Create(Hive::CurrentUser, storetest::kSandboxPath);
        ASSERT_NE(m_key, nullptr);
    }

    storetest::TestRegistry m_registry{GetParam()};
    std::unique_ptr<RegistryKey> m_key;
};

TEST_P(RegistryValues, StringReadsAreBoundedAndNeedATerminator) {
    const std::wstring c259(259, L'c');
    const std::wstring c260(260, L'c');
    struct Case {
        const char* what;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::optional<std::wstring> expected;
        bool needsExactBytes = false;  // Wine's registry terminates short strings as it stores them
    };
    const std::vector<Case> cases = {
        {"plain", RegistryType::kString, Utf16(L"ftp.example.net"), L"ftp.example.net"},
        {"expand string, used unexpanded", RegistryType::kExpandString, Utf16(L"%TEMP%\\x"), L"%TEMP%\\x"},
        {"no bytes at all", RegistryType::kString, {}, L""},
        {"only the terminator", RegistryType::kString, {0, 0}, L""},
        {"259 characters", RegistryType::kString, Utf16(c259), c259},
        {"260 characters", RegistryType::kString, Utf16(c260), std::nullopt},
        {"260 characters, unterminated", RegistryType::kString, Utf16(c260, false), std::nullopt},
        {"unterminated", RegistryType::kString, Utf16(L"abc", false), std::nullopt, true},
        {"odd byte count", RegistryType::kString, {'a', 0, 0}, std::nullopt},
        {"one byte", RegistryType::kString, {0}, std::nullopt},
        {"stops at an inner terminator", RegistryType::kString, Utf16(std::wstring(L"ab\0cd", 5)), L"ab"},
        {"binary holding a string", RegistryType::kBinary, Utf16(L"abc"), std::nullopt},
        {"dword", RegistryType::kDword, {1, 0, 0, 0}, std::nullopt},
        {"multi-string", 7, Utf16(L"abc"), std::nullopt},
        {"huge", RegistryType::kString, std::vector<std::uint8_t>(1 << 16, 'x'), std::nullopt},
    };
    for (const auto& c : cases) {
        if (c.needsExactBytes && GetParam() == Backend::System) continue;
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(m_key->Write(L"s", RegistryValue{c.type, c.data}));
        EXPECT_EQ(ReadString(*m_key, L"s", 260), c.expected);
    }
    EXPECT_EQ(ReadString(*m_key, L"missing", 260), std::nullopt);
}

TEST_P(RegistryValues, StringsRoundTripWithTheirTerminator) {
    const std::wstring text = L"Caf\u00e9 \u65e5\u672c";
    ASSERT_TRUE(WriteString(*m_key, L"s", text));
    const auto raw = m_key->Read(L"s");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, RegistryType::kString);
    EXPECT_EQ(raw->data.size(), (text.size() + 1) * 2);
    EXPECT_EQ(ReadString(*m_key, L"s", 260), text);
    ASSERT_TRUE(WriteString(*m_key, L"e", L"%X%", RegistryType::kExpandString));
    EXPECT_EQ(m_key->Read(L"e")->type, RegistryType::kExpandString);
}

TEST_P(RegistryValues, DwordReadsNeedTheTypeAndExactlyFourBytes) {
    struct Case {
        const char* what;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::optional<std::uint32_t> expected;
    };
    const std::vector<Case> cases = {
        {"little-endian", RegistryType::kDword, {0x49, 0x08, 0x00, 0x00}, 2121u},
        {"all ones", RegistryType::kDword, {0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFFu},
        {"two bytes", RegistryType::kDword, {1, 0}, std::nullopt},
        {"eight bytes", RegistryType::kDword, {1, 0, 0, 0, 0, 0, 0, 0}, std::nullopt},
        {"binary", RegistryType::kBinary, {1, 0, 0, 0}, std::nullopt},
        {"string", RegistryType::kString, {'1', 0, 0, 0}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(m_key->Write(L"d", RegistryValue{c.type, c.data}));
        EXPECT_EQ(ReadDword(*m_key, L"d"), c.expected);
    }
    ASSERT_TRUE(WriteDword(*m_key, L"d", 0x01020304));
    EXPECT_EQ(m_key->Read(L"d")->data, (std::vector<std::uint8_t>{4, 3, 2, 1}));
}

TEST_P(RegistryValues, BinaryReadsNeedTheBinaryType) {
    ASSERT_TRUE(WriteBinary(*m_key, L"b", {1, 2, 3}));
    EXPECT_EQ(ReadBinary(*m_key, L"b"), (std::vector<std::uint8_t>{1, 2, 3}));
    ASSERT_TRUE(WriteString(*m_key, L"b", L"x"));
    EXPECT_EQ(ReadBinary(*m_key, L"b"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryValues, testing::ValuesIn(storetest::AllBackends()),
                         storetest::BackendTestName);

TEST(Utf16Bytes, CharactersBeyondTheBasicPlaneBecomeSurrogatePairs) {
    const std::wstring text = L"A\u00e9\U0001F600";
    const std::vector<std::uint8_t> bytes = {0x41, 0x00, 0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE};
    EXPECT_EQ(ToUtf16Bytes(text), bytes);
    EXPECT_EQ(FromUtf16Bytes(bytes.data(), bytes.size() / 2), text);
}

TEST(Utf16Bytes, LoneSurrogatesSurviveTheRoundTrip) {
    const std::vector<std::uint8_t> bytes = {0x00, 0xD8, 0x41, 0x00, 0x00, 0xDC};
    const std::wstring text = FromUtf16Bytes(bytes.data(), 3);
    ASSERT_EQ(text.size(), 3u);
    EXPECT_EQ(ToUtf16Bytes(text), bytes);
}

}  // namespace
