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

struct SwitchCase {
    const char* what;
    std::optional<RegistryValue> value;  // nullopt: no value at all
    bool on;
};

const std::vector<SwitchCase>& SwitchCases() {
    static const std::vector<SwitchCase> cases = {
        {"missing", std::nullopt, false},
        {"dword 0", RegistryValue{RegistryType::kDword, {0, 0, 0, 0}}, false},
        {"dword 1", RegistryValue{RegistryType::kDword, {1, 0, 0, 0}}, true},
        {"dword 2", RegistryValue{RegistryType::kDword, {2, 0, 0, 0}}, true},
        {"high byte only", RegistryValue{RegistryType::kDword, {0, 0, 0, 0x80}}, true},
        {"string \"1\"", RegistryValue{RegistryType::kString, {'1', 0, 0, 0}}, false},
        {"binary of four bytes", RegistryValue{RegistryType::kBinary, {1, 0, 0, 0}}, false},
        {"dword longer than four bytes", RegistryValue{RegistryType::kDword, {1, 0, 0, 0, 0, 0, 0, 0}}, false},
        {"dword of two bytes", RegistryValue{RegistryType::kDword, {1, 0}}, false},
    };
    return cases;
}

TEST_P(Switches, AreOnOnlyAsANonZeroDword) {
    const struct {
        const char* name;
        std::wstring key;
        std::wstring value;
        std::function<bool()> read;
    } switches[] = {
        {"SmartContextMenu", L"Software\\Orvane\\Options", L"SmartContextMenu",
         [&] { return IsSmartContextMenu(Registry()); }},
        {"SkipFolderConfirmation", L"Software\\Orvane\\Options", L"SkipFolderConfirmation",
         [&] { return IsSkipFolderConfirmation(Registry()); }},
        {"TroubleshootList", L"Software\\Orvane\\Options", L"TroubleshootList",
         [&] { return IsTroubleshootList(Registry()); }},
        {"SkipDPAPI", kDestinationsPath + L"\\Options", L"SkipDPAPI",
         [&] { return Store().IsPlainPasswordMode(); }},
    };
    for (const auto& s : switches) {
        SCOPED_TRACE(s.name);
        Registry().DeleteTree(Hive::CurrentUser, s.key);
        EXPECT_FALSE(s.read());
        // Reading creates the key, so that it is there to be filled in.
        auto key = Registry().Open(Hive::CurrentUser, s.key, Access::ReadWrite);
        ASSERT_NE(key, nullptr);
        for (const auto& c : SwitchCases()) {
            SCOPED_TRACE(c.what);
            key->DeleteValue(s.value);
            if (c.value) {
                ASSERT_TRUE(key->Write(s.value, *c.value));
            }
            EXPECT_EQ(s.read(), c.on);
        }
    }
}

TEST_P(Switches, EachSwitchIsReadFromItsOwnValue) {
    auto options = Registry().Create(Hive::CurrentUser, L"Software\\Orvane\\Options");
    ASSERT_TRUE(WriteDword(*options, L"SkipFolderConfirmation", 1));
    EXPECT_TRUE(IsSkipFolderConfirmation(Registry()));
    EXPECT_FALSE(IsSmartContextMenu(Registry()));
    EXPECT_FALSE(IsTroubleshootList(Registry()));
    EXPECT_FALSE(Store().IsPlainPasswordMode());  // same name, other key
    ASSERT_TRUE(WriteDword(*options, L"SkipDPAPI", 1));
    EXPECT_FALSE(Store().IsPlainPasswordMode());
}

TEST_P(Switches, UploaderPathRoundTripsWithinTheStringBound) {
    EXPECT_EQ(ReadUploaderPath(Registry()), std::nullopt);
    const std::wstring path = L"C:\\Program Files\\Orvane\\Orvane.exe";
    WriteUploaderPath(path, Registry());
    EXPECT_EQ(ReadUploaderPath(Registry()), path);
    const auto key = Registry().Open(Hive::CurrentUser, L"Software\\Orvane", Access::Read);
    EXPECT_EQ(key->Read(L"FullPath")->data.size(), (path.size() + 1) * 2);
    WriteUploaderPath(std::wstring(260, L'p'), Registry());
    EXPECT_EQ(ReadUploaderPath(Registry()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Backends, Switches, testing::ValuesIn(storetest::AllBackends()),
                         storetest::BackendTestName);

}  // namespace
