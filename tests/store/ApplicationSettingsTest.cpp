// The switches and the uploader's path, as stored values of every shape read them.
#include <gtest/gtest.h>

#include <functional>

#include "platform/RegistryValues.h"
#include "store/ApplicationSettings.h"
#include "tests/store/StoreTestSupport.h"

using namespace platform;
using storetest::StoreTest;

namespace {

using Switches = StoreTest;

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

// Both sides read and write it through the same functions: only the stored value shows its name.
TEST_P(Switches, UploaderPathIsFullPathWithinTheStringBound) {
    const std::wstring path = L"C:\\Program Files\\Orvane\\Orvane.exe";
    WriteUploaderPath(path, Registry());
    EXPECT_EQ(ReadString(*Registry().Open(Hive::CurrentUser, L"Software\\Orvane", Access::Read), L"FullPath", 260), path);
    EXPECT_EQ(ReadUploaderPath(Registry()), path);
    WriteUploaderPath(std::wstring(260, L'p'), Registry());
    EXPECT_EQ(ReadUploaderPath(Registry()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Backends, Switches, storetest::kBackends, storetest::BackendName);

}  // namespace
