// Raw values as they may be found in the registry, read by the string reader, the switches and
// the uploader's path; in memory and, on Windows, in the real registry, so the two cannot drift.
#include <gtest/gtest.h>

#include <functional>

#include "platform/RegistryValues.h"
#include "store/ApplicationSettings.h"
#include "tests/store/StoreTestSupport.h"

using namespace platform;
using storetest::Backend;

namespace {

using RegistryValues = storetest::StoreTest;
using Switches = storetest::StoreTest;

std::vector<std::uint8_t> Utf16(const std::wstring& text, bool terminated = true) {
    auto bytes = ToUtf16Bytes(text);
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

TEST_P(RegistryValues, StringReadsAreBoundedAndNeedATerminator) {
    const auto sandbox = Registry().Create(Hive::CurrentUser, L"Software\\OrvaneTests\\Sandbox");
    ASSERT_NE(sandbox, nullptr);
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
        ASSERT_TRUE(sandbox->Write(L"s", RegistryValue{c.type, c.data}));
        EXPECT_EQ(ReadString(*sandbox, L"s", 260), c.expected);
    }
    // Wine's registry terminates short strings as it stores them; the in-memory one does not.
    if (GetParam() == Backend::Memory) {
        ASSERT_TRUE(sandbox->Write(L"s", RegistryValue{RegistryType::kString, Utf16(L"abc", false)}));
        EXPECT_EQ(ReadString(*sandbox, L"s", 260), std::nullopt);
    }
    const std::wstring text = L"Caf\u00e9 \u65e5\u672c";
    ASSERT_TRUE(WriteString(*sandbox, L"s", text));
    EXPECT_EQ(sandbox->Read(L"s")->data.size(), (text.size() + 1) * 2);
    EXPECT_EQ(ReadString(*sandbox, L"s", 260), text);
    EXPECT_EQ(ReadBinary(*sandbox, L"s"), std::nullopt);  // nor is a string a blob

    // The uploader's path: both sides read and write it through the same functions, so only the
    // stored value shows its name.
    const std::wstring path = L"C:\\Program Files\\Orvane\\Orvane.exe";
    WriteUploaderPath(path, Registry());
    EXPECT_EQ(ReadString(*Registry().Open(Hive::CurrentUser, L"Software\\Orvane", Access::Read), L"FullPath", 260), path);
    EXPECT_EQ(ReadUploaderPath(Registry()), path);
    WriteUploaderPath(std::wstring(260, L'p'), Registry());
    EXPECT_EQ(ReadUploaderPath(Registry()), std::nullopt);
}

TEST_P(Switches, AreOnOnlyAsANonZeroDwordOfTheirOwnValue) {
    const struct {
        std::wstring key;
        std::wstring value;
        std::function<bool()> read;
    } switches[] = {
        {L"Software\\Orvane\\Options", L"SmartContextMenu", [&] { return IsSmartContextMenu(Registry()); }},
        {L"Software\\Orvane\\Options", L"SkipFolderConfirmation", [&] { return IsSkipFolderConfirmation(Registry()); }},
        {L"Software\\Orvane\\Options", L"TroubleshootList", [&] { return IsTroubleshootList(Registry()); }},
        {kDestinationsPath + L"\\Options", L"SkipDPAPI", [&] { return Store().IsPlainPasswordMode(); }},
    };
    for (const auto& s : switches) {
        SCOPED_TRACE(testing::PrintToString(s.value));
        Registry().DeleteTree(Hive::CurrentUser, L"Software\\Orvane");
        Registry().DeleteTree(Hive::CurrentUser, kDestinationsPath);
        EXPECT_FALSE(s.read());
        // Reading creates the key, so that it is there to be filled in.
        auto key = Registry().Open(Hive::CurrentUser, s.key, Access::ReadWrite);
        ASSERT_NE(key, nullptr);
        ASSERT_TRUE(WriteDword(*key, s.value, 1));
        for (const auto& other : switches) EXPECT_EQ(other.read(), &other == &s) << testing::PrintToString(other.value);
    }
    // Every switch reads its value the same way.
    auto options = Registry().Create(Hive::CurrentUser, L"Software\\Orvane\\Options");
    const std::pair<RegistryValue, bool> values[] = {
        {{RegistryType::kDword, {0, 0, 0, 0}}, false},
        {{RegistryType::kDword, {0, 0, 0, 0x80}}, true},
        {{RegistryType::kString, {'1', 0, 0, 0}}, false},
        {{RegistryType::kDword, {1, 0}}, false},
        {{RegistryType::kDword, {1, 0, 0, 0, 0, 0, 0, 0}}, false},
    };
    for (const auto& [value, on] : values) {
        SCOPED_TRACE(testing::PrintToString(value.data));
        ASSERT_TRUE(options->Write(L"TroubleshootList", value));
        EXPECT_EQ(IsTroubleshootList(Registry()), on);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryValues, storetest::kBackends, storetest::BackendName);
INSTANTIATE_TEST_SUITE_P(Backends, Switches, storetest::kBackends, storetest::BackendName);

}  // namespace
