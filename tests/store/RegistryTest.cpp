// The bounded typed reads and the registry's handle rules, checked on the in-memory registry and,
// on Windows, on the real one, so that the two cannot drift apart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/RegistryValues.h"
#include "tests/store/StoreTestSupport.h"

using namespace platform;
using storetest::Backend;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

const std::wstring kSandboxPath = L"Software\\OrvaneTests\\Sandbox";

std::vector<std::uint8_t> Utf16(const std::wstring& text, bool terminated = true) {
    auto bytes = ToUtf16Bytes(text);
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

class RegistryContract : public storetest::StoreTest {
protected:
    void SetUp() override {
        m_sandbox = Registry().Create(Hive::CurrentUser, kSandboxPath);
        ASSERT_NE(m_sandbox, nullptr);
    }

    std::unique_ptr<RegistryKey> m_sandbox;
};

TEST_P(RegistryContract, DeleteTreeTakesEverythingBelowAndLeavesOpenHandlesEmpty) {
    auto child = m_sandbox->Create(L"a\\b\\c");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WriteDword(*child, L"n", 1));
    ASSERT_NE(m_sandbox->Create(L"keep"), nullptr);

    EXPECT_TRUE(Registry().DeleteTree(Hive::CurrentUser, kSandboxPath + L"\\A"));
    EXPECT_THAT(m_sandbox->SubkeyNames(), ElementsAre(L"keep"));
    EXPECT_FALSE(m_sandbox->DeleteTree(L"a"));
    EXPECT_FALSE(child->Read(L"n").has_value());
    EXPECT_FALSE(WriteDword(*child, L"n", 2));
    EXPECT_THAT(child->ValueNames(), IsEmpty());
    EXPECT_EQ(child->Create(L"grandchild"), nullptr);

    // The same path created again is a new, empty key; the old handle does not see it.
    const auto again = m_sandbox->Create(L"a\\b\\c");
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->Read(L"n").has_value());
    ASSERT_TRUE(WriteDword(*again, L"n", 3));
    EXPECT_FALSE(child->Read(L"n").has_value());
}

TEST_P(RegistryContract, StringReadsAreBoundedAndNeedATerminator) {
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
        {"260 characters, unterminated", RegistryType::kString, Utf16(c259 + L"c", false), std::nullopt},
        {"odd byte count", RegistryType::kString, {'a', 0, 0}, std::nullopt},
        {"stops at an inner terminator", RegistryType::kString, Utf16(std::wstring(L"ab\0cd", 5)), L"ab"},
        {"binary holding a string", RegistryType::kBinary, Utf16(L"abc"), std::nullopt},
        {"huge", RegistryType::kString, std::vector<std::uint8_t>(1 << 16, 'x'), std::nullopt},
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
}

TEST_P(RegistryContract, DwordAndBinaryReadsNeedTheirTypeAndSize) {
    struct Case {
        const char* what;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::optional<std::uint32_t> expected;
    };
    const Case cases[] = {
        {"little-endian", RegistryType::kDword, {0x49, 0x08, 0x00, 0x00}, 2121u},
        {"two bytes", RegistryType::kDword, {1, 0}, std::nullopt},
        {"eight bytes", RegistryType::kDword, {1, 0, 0, 0, 0, 0, 0, 0}, std::nullopt},
        {"binary", RegistryType::kBinary, {1, 0, 0, 0}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(m_sandbox->Write(L"d", RegistryValue{c.type, c.data}));
        EXPECT_EQ(ReadDword(*m_sandbox, L"d"), c.expected);
    }
    ASSERT_TRUE(WriteBinary(*m_sandbox, L"b", {1, 2, 3}));
    EXPECT_EQ(ReadBinary(*m_sandbox, L"b"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(ReadBinary(*m_sandbox, L"missing"), std::nullopt);
    ASSERT_TRUE(WriteString(*m_sandbox, L"b", L"x"));
    EXPECT_EQ(ReadBinary(*m_sandbox, L"b"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryContract, testing::ValuesIn(storetest::AllBackends()),
                         storetest::BackendTestName);

// wchar_t is 32 bits off Windows: characters past the basic plane must become surrogate pairs,
// and lone surrogates must survive the round trip.
TEST(Utf16Bytes, SurrogatesRoundTrip) {
    const std::vector<std::uint8_t> pair = {0x41, 0x00, 0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE};
    EXPECT_EQ(ToUtf16Bytes(L"A\u00e9\U0001F600"), pair);
    EXPECT_EQ(FromUtf16Bytes(pair.data(), pair.size() / 2), L"A\u00e9\U0001F600");
    const std::vector<std::uint8_t> lone = {0x00, 0xD8, 0x41, 0x00, 0x00, 0xDC};
    EXPECT_EQ(ToUtf16Bytes(FromUtf16Bytes(lone.data(), 3)), lone);
}

// The seam through which tests play a standard user, who may not write the machine's hive.
TEST(MemoryRegistry, AReadOnlyHiveOpensExistingKeysForReadingOnly) {
    MemoryRegistry registry;
    const auto written = registry.Create(Hive::LocalMachine, L"Software\\X");
    ASSERT_TRUE(written && WriteDword(*written, L"n", 7));
    registry.SetWritable(Hive::LocalMachine, false);

    const auto reader = registry.Create(Hive::LocalMachine, L"Software\\X", Access::Read);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(ReadDword(*reader, L"n"), 7u);
    EXPECT_EQ(registry.Open(Hive::LocalMachine, L"Software\\X", Access::ReadWrite), nullptr);
    EXPECT_EQ(registry.Create(Hive::LocalMachine, L"Software\\X\\New", Access::Read), nullptr);
    EXPECT_FALSE(WriteDword(*written, L"n", 8));  // a handle opened before is refused as well
    EXPECT_FALSE(registry.DeleteTree(Hive::LocalMachine, L"Software\\X"));
    EXPECT_NE(registry.Create(Hive::CurrentUser, L"Software\\X"), nullptr);
}

}  // namespace
