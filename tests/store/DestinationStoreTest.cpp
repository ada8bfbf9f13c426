// The destination store against the in-memory registry and, on Windows, the real registry with
// the real data-protection API.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/RegistryValues.h"
#include "platform/memory/MemoryRegistry.h"
#include "tests/store/StoreTestSupport.h"

using namespace platform;
using storetest::Backend;
using storetest::StoreTest;
using testing::ElementsAre;

namespace {

std::vector<std::int32_t> Numbers(const std::vector<FTPDestination>& list) {
    std::vector<std::int32_t> numbers;
    for (const auto& d : list) numbers.push_back(d.number);
    return numbers;
}

FTPDestination Filled(FTPDestination d) {
    d.displayName = L"Caf\u00e9 server";
    d.server = L"ftp.example.net";
    d.userName = L"j\u00f6rg";
    d.directory = L"/pub/in coming";
    d.port = 2121;
    d.password = L"p\u00e4ss w0rd";
    return d;
}

bool Contains(const std::vector<std::uint8_t>& haystack, const std::vector<std::uint8_t>& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

using DestinationList = StoreTest;
using DestinationRecord = StoreTest;
using DestinationPassword = StoreTest;

TEST_P(DestinationList, ListsNumberedSubkeysUserFirstAndNothingElse) {
    auto user = UserStoreKey();
    auto machine = MachineStoreKey();
    ASSERT_NE(user, nullptr);
    ASSERT_NE(machine, nullptr);
    for (const wchar_t* name : {L"2", L"Options", L"abc", L"1", L"10", L"5", L"0"})
        ASSERT_NE(user->Create(name), nullptr);
    for (const wchar_t* name : {L"65537", L"65536"}) ASSERT_NE(machine->Create(name), nullptr);
    ASSERT_TRUE(WriteString(*user->Create(L"2"), L"Dispname", L"second"));

    const auto all = Store().LoadAllDestinations();
    // The registry's order, names compared as text: the store does not sort.
    EXPECT_THAT(Numbers(all), ElementsAre(1, 10, 2, 5, 65536, 65537));
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[2].displayName, L"second");
    EXPECT_FALSE(all[3].machineWide);
    EXPECT_TRUE(all[4].machineWide);
    for (const auto& d : all) {
        EXPECT_EQ(d.basePath, kDestinationsPath);
        EXPECT_EQ(d.keyName, std::to_wstring(d.number));
    }
}

// A listed destination must be the one its number leads to: the menu, the hand-off and removal
// know only the number, which picks the hive (65536 on: the machine's) and the key ("7").
TEST_P(DestinationList, SkipsSubkeysThatTheirNumberDoesNotLeadTo) {
    auto user = UserStoreKey();
    auto machine = MachineStoreKey();
    // A hand-off to the machine-wide destination 65536 leaves a user subkey 65536 with its
    // hand-off keys below it: not a second, nameless destination 65536.
    ASSERT_NE(user->Create(L"65536\\{5B0E6C3A-0000-4000-8000-000000000001}"), nullptr);
    for (const wchar_t* name : {L"01", L" 3", L"+4", L"-6", L"7x", L"99999999999"})
        ASSERT_NE(user->Create(name), nullptr);
    ASSERT_NE(user->Create(L"8"), nullptr);
    ASSERT_NE(machine->Create(L"9"), nullptr);  // a machine key below 65536: number 9 is the user's
    FTPDestination shared = Filled(Store().CreateDestination(true));
    Store().SaveDestination(shared);

    const auto all = Store().LoadAllDestinations();
    EXPECT_THAT(Numbers(all), ElementsAre(8, 65536));
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(all[1].machineWide);
    EXPECT_EQ(all[1].displayName, shared.displayName);
    EXPECT_EQ(Store().GetDestination(65536).displayName, shared.displayName);
}

TEST_P(DestinationList, CreateTakesTheLowestFreeNumberAndLeavesItsKey) {
    EXPECT_EQ(Store().CreateDestination(false).number, 1);
    auto user = UserStoreKey();
    for (const wchar_t* name : {L"2", L"4"}) ASSERT_NE(user->Create(name), nullptr);
    EXPECT_EQ(Store().CreateDestination(false).number, 3);
    const FTPDestination fifth = Store().CreateDestination(false);
    EXPECT_EQ(fifth.number, 5);
    EXPECT_EQ(fifth.keyName, L"5");
    EXPECT_FALSE(fifth.machineWide);
    EXPECT_EQ(fifth.port, 21);
    const FTPDestination machine = Store().CreateDestination(true);
    EXPECT_EQ(machine.number, 65536);
    EXPECT_TRUE(machine.machineWide);
    EXPECT_EQ(Store().CreateDestination(true).number, 65537);
    // Never saved, still listed, with an empty name.
    const auto all = Store().LoadAllDestinations();
    EXPECT_THAT(Numbers(all), ElementsAre(1, 2, 3, 4, 5, 65536, 65537));
    EXPECT_EQ(all[4].displayName, L"");
}

TEST_P(DestinationList, ReadingANumberWithoutAKeyLeavesNoDestinationBehind) {
    for (const std::int32_t number : {3, 65540, 0, -1}) {
        SCOPED_TRACE(number);
        const FTPDestination missing = Store().GetDestination(number);
        EXPECT_EQ(missing.number, number);
        EXPECT_EQ(missing.displayName, L"");
        EXPECT_EQ(missing.port, 21);
        EXPECT_EQ(missing.machineWide, number >= 65536);
    }
    Store().SetDefaultDestination(3);  // a stale default, as the shell extension reads it
    (void)Store().GetDestination(Store().GetDefaultDestination());
    EXPECT_TRUE(Store().LoadAllDestinations().empty());
    EXPECT_EQ(Registry().Open(Hive::CurrentUser, kDestinationsPath + L"\\3", Access::Read), nullptr);
}

TEST_P(DestinationList, RemovingTakesTheWholeTreeAndTheDefaultMarkOnlyIfItWasTheDefault) {
    FTPDestination one = Filled(Store().CreateDestination(false));
    FTPDestination two = Filled(Store().CreateDestination(false));
    Store().SaveDestination(one);
    Store().SaveDestination(two);
    ASSERT_NE(Registry().Create(Hive::CurrentUser, DestinationKeyPath(two) + L"\\handoff\\sub"), nullptr);

    Store().SetDefaultDestination(1);
    Store().RemoveDestination(2);
    EXPECT_EQ(Store().GetDefaultDestination(), 1);
    EXPECT_EQ(Registry().Open(Hive::CurrentUser, DestinationKeyPath(two), Access::Read), nullptr);
    EXPECT_THAT(Numbers(Store().LoadAllDestinations()), ElementsAre(1));

    Store().RemoveDestination(1);
    EXPECT_EQ(Store().GetDefaultDestination(), 0);
    EXPECT_EQ(UserStoreKey()->Read(L""), std::nullopt);

    const FTPDestination machine = Store().CreateDestination(true);
    Store().SetDefaultDestination(machine.number);
    EXPECT_NE(UserStoreKey()->Read(L""), std::nullopt);  // the default lives in the user's hive
    EXPECT_EQ(Store().GetDefaultDestination(), 65536);
    Store().RemoveDestination(65536);
    EXPECT_EQ(Store().GetDefaultDestination(), 0);
    EXPECT_EQ(Registry().Open(Hive::LocalMachine, kDestinationsPath + L"\\65536", Access::Read), nullptr);
}

TEST_P(DestinationList, DefaultIsAStoredDwordOrNone) {
    EXPECT_EQ(Store().GetDefaultDestination(), 0);
    Store().SetDefaultDestination(65537);
    EXPECT_EQ(Store().GetDefaultDestination(), 65537);
    EXPECT_EQ(ReadDword(*UserStoreKey(), L""), 65537u);
    auto key = UserStoreKey();
    struct Case {
        const char* what;
        RegistryValue value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"dword", {RegistryType::kDword, {7, 0, 0, 0}}, 7},
        {"dword 0", {RegistryType::kDword, {0, 0, 0, 0}}, 0},
        {"string \"1\" (four bytes)", {RegistryType::kString, {'1', 0, 0, 0}}, 0},
        {"binary of four bytes", {RegistryType::kBinary, {0, 0, 1, 0}}, 0},
        {"dword of two bytes", {RegistryType::kDword, {3, 1}}, 0},
        {"dword longer than four bytes", {RegistryType::kDword, {1, 0, 0, 0, 0}}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(key->Write(L"", c.value));
        EXPECT_EQ(Store().GetDefaultDestination(), c.expected);
    }
}

TEST_P(DestinationRecord, SavedFieldsLoadBackWithTheirTypes) {
    const FTPDestination saved = Filled(Store().CreateDestination(false));
    Store().SaveDestination(saved);
    const FTPDestination loaded = Store().GetDestination(saved.number);
    EXPECT_EQ(loaded.displayName, saved.displayName);
    EXPECT_EQ(loaded.server, saved.server);
    EXPECT_EQ(loaded.userName, saved.userName);
    EXPECT_EQ(loaded.directory, saved.directory);
    EXPECT_EQ(loaded.port, 2121);
    EXPECT_EQ(loaded.password, saved.password);
    EXPECT_FALSE(loaded.machineWide);

    const auto key = Registry().Open(Hive::CurrentUser, DestinationKeyPath(saved), Access::Read);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(ReadDword(*key, L"Port"), 2121u);
    EXPECT_EQ(key->Read(L"Dispname")->type, RegistryType::kString);
    EXPECT_EQ(key->Read(L"Dispname")->data.size(), (saved.displayName.size() + 1) * 2);

    const FTPDestination machine = Filled(Store().CreateDestination(true));
    Store().SaveDestination(machine);
    EXPECT_EQ(Store().GetDestination(65536).password, machine.password);
    EXPECT_NE(Registry().Open(Hive::LocalMachine, kDestinationsPath + L"\\65536", Access::Read), nullptr);
}

TEST_P(DestinationRecord, StringsAreReadWithinTheirBoundOrNotAtAll) {
    auto key = UserStoreKey()->Create(L"7");
    ASSERT_NE(key, nullptr);
    SetPlainMode(true);  // so that "Password" is a string like the others
    auto utf16 = [](const std::wstring& text, bool terminated) {
        auto bytes = ToUtf16Bytes(text);
        if (terminated) bytes.insert(bytes.end(), {0, 0});
        return bytes;
    };
    const std::wstring c259(259, L'c');
    auto odd = utf16(L"abc", true);
    odd.push_back(0);
    struct Case {
        const char* what;
        RegistryValue value;
        std::wstring expected;
        bool unterminated = false;
    };
    const Case cases[] = {
        {"259 characters", {RegistryType::kString, utf16(c259, true)}, c259},
        {"260 characters", {RegistryType::kString, utf16(std::wstring(260, L'c'), true)}, L""},
        {"259 characters, unterminated", {RegistryType::kString, utf16(c259, false)}, L"", true},
        {"short, unterminated", {RegistryType::kString, utf16(L"abc", false)}, L"", true},
        {"odd byte count", {RegistryType::kString, odd}, L""},
        {"empty", {RegistryType::kString, {}}, L""},
        {"terminator only", {RegistryType::kString, {0, 0}}, L""},
        {"expand string, unexpanded", {RegistryType::kExpandString, utf16(L"%TEMP%", true)}, L"%TEMP%"},
        {"binary", {RegistryType::kBinary, utf16(L"abc", true)}, L""},
        {"dword", {RegistryType::kDword, {'a', 0, 0, 0}}, L""},
        {"multi-string", {7, utf16(L"abc", true)}, L""},
    };
    const struct {
        const wchar_t* name;
        std::wstring FTPSettings::*field;
    } fields[] = {
        {L"Dispname", &FTPSettings::displayName}, {L"Server", &FTPSettings::server},
        {L"Username", &FTPSettings::userName},    {L"Directory", &FTPSettings::directory},
        {L"Password", &FTPSettings::password},
    };
    for (const auto& f : fields) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(f.name)));
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            // Wine's registry adds the terminator as it stores a string; Windows' keeps the bytes.
            if (c.unterminated && GetParam() == Backend::System) continue;
            ASSERT_TRUE(key->Write(f.name, c.value));
            const FTPDestination loaded = Store().GetDestination(7);
            EXPECT_EQ(loaded.*f.field, c.expected);
        }
        key->DeleteValue(f.name);
    }
}

TEST_P(DestinationRecord, PortIsAStoredDwordFrom1To65535Or21) {
    auto key = UserStoreKey()->Create(L"7");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(Store().GetDestination(7).port, 21);  // no "Port"
    struct Case {
        const char* what;
        RegistryValue value;
        std::uint16_t expected;
    };
    const Case cases[] = {
        {"2121", {RegistryType::kDword, {0x49, 0x08, 0, 0}}, 2121},
        {"65535", {RegistryType::kDword, {0xFF, 0xFF, 0, 0}}, 65535},
        {"1", {RegistryType::kDword, {1, 0, 0, 0}}, 1},
        {"0", {RegistryType::kDword, {0, 0, 0, 0}}, 21},
        {"65536 + 2121, which 16 bits would wrap to 2121", {RegistryType::kDword, {0x49, 0x08, 1, 0}}, 21},
        {"string \"8\" (four bytes)", {RegistryType::kString, {'8', 0, 0, 0}}, 21},
        {"binary of four bytes", {RegistryType::kBinary, {0x49, 0x08, 0, 0}}, 21},
        {"dword of two bytes", {RegistryType::kDword, {0x49, 0x08}}, 21},
        {"dword longer than four bytes", {RegistryType::kDword, {0x49, 0x08, 0, 0, 0, 0, 0, 0}}, 21},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(key->Write(L"Port", c.value));
        EXPECT_EQ(Store().GetDestination(7).port, c.expected);
    }
}

TEST_P(DestinationRecord, RecordWithoutALocationReadsAndWritesNothing) {
    FTPDestination nowhere = Filled(FTPDestination{});
    Store().SaveDestination(nowhere);
    EXPECT_TRUE(Store().LoadAllDestinations().empty());
    const FTPDestination loaded = Store().LoadDestination(kDestinationsPath, L"", false);
    EXPECT_EQ(loaded.displayName, L"");
    EXPECT_EQ(loaded.port, 21);
}

TEST_P(DestinationPassword, ProtectedPasswordIsBinaryAndDoesNotHoldTheSecret) {
    const FTPDestination saved = Filled(Store().CreateDestination(false));
    Store().SaveDestination(saved);
    const auto key = Registry().Open(Hive::CurrentUser, DestinationKeyPath(saved), Access::Read);
    const auto stored = key->Read(L"Password");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, RegistryType::kBinary);
    EXPECT_FALSE(Contains(stored->data, ToUtf16Bytes(saved.password)));
    EXPECT_FALSE(Contains(stored->data, ToUtf16Bytes(L"w0rd")));
    EXPECT_EQ(Store().GetDestination(saved.number).password, saved.password);
}

TEST_P(DestinationPassword, EmptyPasswordKeepsTheStoredOneAndANewOneReplacesIt) {
    FTPDestination d = Filled(Store().CreateDestination(false));
    Store().SaveDestination(d);
    d.password.clear();
    d.displayName = L"renamed";
    Store().SaveDestination(d);
    EXPECT_EQ(Store().GetDestination(d.number).password, Filled(d).password);
    EXPECT_EQ(Store().GetDestination(d.number).displayName, L"renamed");
    d.password = L"new";
    Store().SaveDestination(d);
    EXPECT_EQ(Store().GetDestination(d.number).password, L"new");
}

TEST_P(DestinationPassword, DamagedBlobReadsAsEmpty) {
    const FTPDestination saved = Filled(Store().CreateDestination(false));
    Store().SaveDestination(saved);
    auto key = Registry().Create(Hive::CurrentUser, DestinationKeyPath(saved));
    auto blob = *ReadBinary(*key, L"Password");
    for (std::size_t at = blob.size() / 3; at < blob.size() * 2 / 3; ++at) blob[at] ^= 0x5A;
    ASSERT_TRUE(WriteBinary(*key, L"Password", blob));
    EXPECT_EQ(Store().GetDestination(saved.number).password, L"");
    ASSERT_TRUE(WriteBinary(*key, L"Password", {}));
    EXPECT_EQ(Store().GetDestination(saved.number).password, L"");
}

TEST_P(DestinationPassword, SwitchingThePlainModeMakesStoredPasswordsReadAsEmpty) {
    FTPDestination d = Filled(Store().CreateDestination(false));
    Store().SaveDestination(d);
    SetPlainMode(true);
    EXPECT_TRUE(Store().IsPlainPasswordMode());
    EXPECT_EQ(Store().GetDestination(d.number).password, L"");

    d.password = L"clear text";
    Store().SaveDestination(d);
    const auto key = Registry().Open(Hive::CurrentUser, DestinationKeyPath(d), Access::Read);
    EXPECT_EQ(key->Read(L"Password")->type, RegistryType::kString);
    EXPECT_EQ(Store().GetDestination(d.number).password, L"clear text");

    SetPlainMode(false);
    EXPECT_FALSE(Store().IsPlainPasswordMode());
    EXPECT_EQ(Store().GetDestination(d.number).password, L"");
}

INSTANTIATE_TEST_SUITE_P(Backends, DestinationList, testing::ValuesIn(storetest::AllBackends()),
                         storetest::BackendTestName);
INSTANTIATE_TEST_SUITE_P(Backends, DestinationRecord, testing::ValuesIn(storetest::AllBackends()),
                         storetest::BackendTestName);
INSTANTIATE_TEST_SUITE_P(Backends, DestinationPassword, testing::ValuesIn(storetest::AllBackends()),
                         storetest::BackendTestName);

// The scope decides who may read a password back: the user for user destinations, any user of
// the machine for machine-wide ones.
TEST(DestinationProtection, MachineWideDestinationsAskForTheMachineScope) {
    MemoryRegistry registry;
    ScrambleProtection protection;
    DestinationStore store(registry, protection);
    store.SaveDestination(Filled(store.CreateDestination(false)));
    EXPECT_EQ(protection.LastScope(), ProtectionScope::User);
    store.SaveDestination(Filled(store.CreateDestination(true)));
    EXPECT_EQ(protection.LastScope(), ProtectionScope::Machine);
}

// A standard user cannot write the machine's hive: machine-wide records load, saves and removals
// do nothing, and neither the default mark nor a number in use is lost on the way.
TEST(DestinationReadOnlyHive, LoadsAndChangesNothing) {
    MemoryRegistry registry;
    ScrambleProtection protection;
    DestinationStore store(registry, protection);
    FTPDestination machine = Filled(store.CreateDestination(true));
    store.SaveDestination(machine);
    store.SetDefaultDestination(65536);
    registry.SetWritable(Hive::LocalMachine, false);

    machine.displayName = L"changed";
    store.SaveDestination(machine);
    const FTPDestination loaded = store.GetDestination(65536);
    EXPECT_EQ(loaded.displayName, Filled(machine).displayName);
    EXPECT_EQ(loaded.password, Filled(machine).password);

    store.RemoveDestination(65536);
    EXPECT_THAT(Numbers(store.LoadAllDestinations()), ElementsAre(65536));
    EXPECT_EQ(store.GetDefaultDestination(), 65536);

    // 65536 cannot be opened for writing here, but it is taken all the same.
    EXPECT_EQ(store.CreateDestination(true).number, 65537);
    EXPECT_EQ(store.GetDestination(65536).displayName, Filled(machine).displayName);
}

// The user's numbers end below the machine's: 65536 in the user's hive would be looked for in
// the machine's.
TEST(DestinationNumbering, UserNumbersNeverReachTheMachineRange) {
    MemoryRegistry registry;
    ScrambleProtection protection;
    DestinationStore store(registry, protection);
    auto storeKey = registry.Create(Hive::CurrentUser, kDestinationsPath);
    for (std::int32_t number = 1; number < MACHINE_NUMBER_BASE; ++number)
        ASSERT_NE(storeKey->Create(std::to_wstring(number)), nullptr);
    const FTPDestination none = store.CreateDestination(false);
    EXPECT_EQ(none.keyName, L"");
    EXPECT_EQ(none.number, 0);
    store.SaveDestination(Filled(none));
    EXPECT_EQ(registry.Open(Hive::CurrentUser, kDestinationsPath + L"\\65536", Access::Read), nullptr);
    EXPECT_EQ(store.CreateDestination(true).number, 65536);

    ASSERT_TRUE(storeKey->DeleteTree(L"40000"));
    EXPECT_EQ(store.CreateDestination(false).number, 40000);
}

TEST(DestinationNumber, ReadsAsWcstolDoes) {
    const struct {
        const wchar_t* name;
        std::int32_t expected;
    } cases[] = {
        {L"1", 1}, {L"65536", 65536}, {L"Options", 0}, {L"abc", 0}, {L"", 0}, {L" 12", 12},
        {L"12abc", 12}, {L"+3", 3}, {L"-4", -4}, {L"0007", 7}, {L"99999999999", INT32_MAX},
        {L"-99999999999", INT32_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        EXPECT_EQ(DestinationNumber(c.name), c.expected);
    }
}

}  // namespace
