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
        const char* what;
        std::optional<RegistryValue> value;  // nullopt: no value at all
        bool on;
    } cases[] = {
        {"missing", std::nullopt, false},
        {"dword 0", RegistryValue{RegistryType::kDword, {0, 0, 0, 0}}, false},
        {"dword 2", RegistryValue{RegistryType::kDword, {2, 0, 0, 0}}, true},
        {"high byte only", RegistryValue{RegistryType::kDword, {0, 0, 0, 0x80}}, true},
        {"string \"1\"", RegistryValue{RegistryType::kString, {'1', 0, 0, 0}}, false},
        {"binary of four bytes", RegistryValue{RegistryType::kBinary, {1, 0, 0, 0}}, false},
        {"dword of two bytes", RegistryValue{RegistryType::kDword, {1, 0}}, false},
    };
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
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            key->DeleteValue(s.value);
            if (c.value) {
                ASSERT_TRUE(key->Write(s.value, *c.value));
            }
            EXPECT_EQ(s.read(), c.on);
        }
        ASSERT_TRUE(WriteDword(*key, s.value, 1));
        for (const auto& other : switches) EXPECT_EQ(other.read(), &other == &s) << testing::PrintToString(other.value);
    }
    // The same name under the uploader's options is not the store's switch.
    Registry().DeleteTree(Hive::CurrentUser, kDestinationsPath);
    ASSERT_TRUE(WriteDword(*Registry().Create(Hive::CurrentUser, L"Software\\Orvane\\Options"), L"SkipDPAPI", 1));
    EXPECT_FALSE(Store().IsPlainPasswordMode());
}

TEST_P(Switches, UploaderPathRoundTripsWithinTheStringBound) {
    EXPECT_EQ(ReadUploaderPath(Registry()), std::nullopt);
    const std::wstring path = L"C:\\Program Files\\Orvane\\Orvane.exe";
    WriteUploaderPath(path, Registry());
    EXPECT_EQ(ReadUploaderPath(Registry()), path);
    const auto key = Registry().Open(Hive::CurrentUser, L"Software\\Orvane", Access::Read);
    EXPECT_EQ(ReadString(*key, L"FullPath", 260), path);
    WriteUploaderPath(std::wstring(260, L'p'), Registry());
    EXPECT_EQ(ReadUploaderPath(Registry()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Backends, Switches, testing::ValuesIn(storetest::AllBackends()),
                         storetest::BackendTestName);

}  // namespace
