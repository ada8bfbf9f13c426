// Bounded string reads of raw values as they may be found in the registry, on the in-memory
// registry and, on Windows, on the real one, so that the two cannot drift apart. (Dword reads are
// covered through the switches and the encryption setting.)
#include <gtest/gtest.h>

#include "platform/RegistryValues.h"
#include "tests/store/StoreTestSupport.h"

using namespace platform;
using storetest::Backend;

namespace {

const std::wstring kSandboxPath = L"Software\\OrvaneTests\\Sandbox";

std::vector<std::uint8_t> Utf16(const std::wstring& text, bool terminated = true) {
    auto bytes = ToUtf16Bytes(text);
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

class RegistryValues : public storetest::StoreTest {
protected:
    void SetUp() override {
        m_sandbox = Registry().Create(Hive::CurrentUser, kSandboxPath);
        ASSERT_NE(m_sandbox, nullptr);
    }

    std::unique_ptr<RegistryKey> m_sandbox;
};

TEST_P(RegistryValues, StringReadsAreBoundedAndNeedATerminator) {
    const std::wstring c259(259, L'c');
    struct Case {
        const char* what;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::optional<std::wstring> expected;
    };
    const Case cases[] = {
        {"expand string, used unexpanded", RegistryType::kExpandString, Utf16(L"%TEMP%\\x"), L"%TEMP%\\x"},
        {"no bytes at all", RegistryType::kString, {}, L""},
        {"259 characters", RegistryType::kString, Utf16(c259), c259},
        {"260 characters", RegistryType::kString, Utf16(c259 + L"c"), std::nullopt},
        {"odd byte count", RegistryType::kString, {'a', 0, 0}, std::nullopt},
        {"stops at an inner terminator", RegistryType::kString, Utf16(std::wstring(L"ab\0cd", 5)), L"ab"},
        {"binary holding a string", RegistryType::kBinary, Utf16(L"abc"), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(m_sandbox->Write(L"s", RegistryValue{c.type, c.data}));
        EXPECT_EQ(ReadString(*m_sandbox, L"s", 260), c.expected);
    }
    // Wine's registry terminates short strings as it stores them; the in-memory one does not.
    if (GetParam() == Backend::Memory) {
        ASSERT_TRUE(m_sandbox->Write(L"s", RegistryValue{RegistryType::kString, Utf16(L"abc", false)}));
        EXPECT_EQ(ReadString(*m_sandbox, L"s", 260), std::nullopt);
    }
    const std::wstring text = L"Caf\u00e9 \u65e5\u672c";
    ASSERT_TRUE(WriteString(*m_sandbox, L"s", text));
    EXPECT_EQ(m_sandbox->Read(L"s")->data.size(), (text.size() + 1) * 2);
    EXPECT_EQ(ReadString(*m_sandbox, L"s", 260), text);
    EXPECT_EQ(ReadBinary(*m_sandbox, L"s"), std::nullopt);  // nor is a string a blob
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryValues, storetest::kBackends, storetest::BackendName);

}  // namespace
