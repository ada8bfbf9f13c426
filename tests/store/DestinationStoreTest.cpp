// The destination store against the in-memory registry and, on Windows, the real registry with
// the real data-protection API.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

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
    d.encryption = FTPEncryption::Implicit;
    d.trustedCertificate.emplace();
    for (std::size_t i = 0; i < d.trustedCertificate->size(); ++i) (*d.trustedCertificate)[i] = static_cast<std::uint8_t>(0xA0 + i);
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
    for (const wchar_t* name : {L"2", L"Options", L"abc", L"1", L"5", L"0", L"65536"})
        ASSERT_NE(user->Create(name), nullptr);
    for (const wchar_t* name : {L"65537", L"65536"}) ASSERT_NE(machine->Create(name), nullptr);
    ASSERT_TRUE(WriteString(*user->Create(L"2"), L"Dispname", L"second"));

    const auto all = Store().LoadAllDestinations();
    EXPECT_THAT(Numbers(all), ElementsAre(1, 2, 5, 65536, 65536, 65537));
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[1].displayName, L"second");
    // A user subkey 65536 (a hand-off to a machine-wide destination leaves one) is listed as it is.
    EXPECT_FALSE(all[3].machineWide);
    EXPECT_EQ(all[3].displayName, L"");
    EXPECT_TRUE(all[4].machineWide);
    for (const auto& d : all) {
        EXPECT_EQ(d.basePath, kDestinationsPath);
        EXPECT_EQ(d.keyName, std::to_wstring(d.number));
    }
}

TEST_P(DestinationList, CreateTakesTheLowestFreeNumberAndLeavesItsKey) {
    EXPECT_EQ(Store().CreateDestination(false).number, 1);
    auto user = UserStoreKey();
    for (const wchar_t* name : {L"2", L"4"}) ASSERT_NE(user->Create(name), nullptr);
    EXPECT_EQ(Store().CreateDestination(false).number, 3);
    EXPECT_EQ(Store().CreateDestination(false).number, 5);
    const FTPDestination machine = Store().CreateDestination(true);
    EXPECT_EQ(machine.number, 65536);
    EXPECT_TRUE(machine.machineWide);
    EXPECT_EQ(Store().CreateDestination(true).number, 65537);
    // Never saved, still listed, with an empty name.
    EXPECT_THAT(Numbers(Store().LoadAllDestinations()), ElementsAre(1, 2, 3, 4, 5, 65536, 65537));
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

TEST_P(DestinationList, DefaultIsWhateverFourBytesOrFewerHold) {
    EXPECT_EQ(Store().GetDefaultDestination(), 0);
    auto key = UserStoreKey();
    struct Case {
        const char* what;
        RegistryValue value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"dword", {RegistryType::kDword, {7, 0, 0, 0}}, 7},
        {"binary of four bytes", {RegistryType::kBinary, {0, 0, 1, 0}}, 65536},
        {"two bytes", {RegistryType::kBinary, {3, 1}}, 259},
        {"longer than four bytes", {RegistryType::kBinary, {1, 0, 0, 0, 0}}, 0},
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
    EXPECT_EQ(loaded.encryption, FTPEncryption::Implicit);
    EXPECT_EQ(loaded.trustedCertificate, saved.trustedCertificate);
    EXPECT_FALSE(loaded.machineWide);

    const auto key = Registry().Open(Hive::CurrentUser, DestinationKeyPath(saved), Access::Read);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(ReadDword(*key, L"Port"), 2121u);
    EXPECT_EQ(ReadDword(*key, L"Encryption"), 3u);
    EXPECT_EQ(ReadString(*key, L"CertificateFingerprint", 260), FingerprintText(*saved.trustedCertificate));
    EXPECT_EQ(key->Read(L"Dispname")->type, RegistryType::kString);
    EXPECT_EQ(key->Read(L"Dispname")->data.size(), (saved.displayName.size() + 1) * 2);

    const FTPDestination machine = Filled(Store().CreateDestination(true));
    Store().SaveDestination(machine);
    EXPECT_EQ(Store().GetDestination(65536).password, machine.password);
    EXPECT_NE(Registry().Open(Hive::LocalMachine, kDestinationsPath + L"\\65536", Access::Read), nullptr);
}

TEST_P(DestinationRecord, MissingOrUnreadableValuesLeaveTheDefaults) {
    auto key = UserStoreKey()->Create(L"7");
    EXPECT_EQ(Store().GetDestination(7).port, 21);  // no "Port"
    EXPECT_EQ(Store().GetDestination(7).connections, 4u);  // nor "Connections"
    const std::wstring c259(259, L'c');
    struct Case {
        const char* what;
        RegistryValue dispname;
        std::wstring expected;
    };
    auto utf16 = [](const std::wstring& text, bool terminated) {
        auto bytes = ToUtf16Bytes(text);
        if (terminated) bytes.insert(bytes.end(), {0, 0});
        return bytes;
    };
    const Case cases[] = {
        {"259 characters", {RegistryType::kString, utf16(c259, true)}, c259},
        {"260 characters", {RegistryType::kString, utf16(std::wstring(260, L'c'), true)}, L""},
        {"expand string", {RegistryType::kExpandString, utf16(L"%X%", true)}, L"%X%"},
        {"binary", {RegistryType::kBinary, utf16(L"abc", true)}, L""},
        {"dword", {RegistryType::kDword, {1, 0, 0, 0}}, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(key->Write(L"Dispname", c.dispname));
        EXPECT_EQ(Store().GetDestination(7).displayName, c.expected);
    }
    // The port takes the low 16 bits of whatever 4 bytes or fewer are stored, preset to 21.
    ASSERT_TRUE(key->Write(L"Port", {RegistryType::kDword, {0x39, 0x08, 0x01, 0x00}}));
    EXPECT_EQ(Store().GetDestination(7).port, 0x0839);
    ASSERT_TRUE(key->Write(L"Port", {RegistryType::kDword, {1, 2, 3, 4, 5, 6, 7, 8}}));
    EXPECT_EQ(Store().GetDestination(7).port, 21);
    ASSERT_TRUE(key->Write(L"Connections", {RegistryType::kDword, {1, 0, 0, 0}}));
    EXPECT_EQ(Store().GetDestination(7).connections, 1u);
}

// A destination from before encrypted connections takes TLS where the server offers it; a value
// that is not one of the four settings, or no fingerprint, reads as absent. A fingerprint may be
// set by hand in any usual spelling.
TEST_P(DestinationRecord, EncryptionAndTrustedCertificateReadOnlyWhenWellFormed) {
    auto key = UserStoreKey()->Create(L"7");
    EXPECT_EQ(Store().GetDestination(7).encryption, FTPEncryption::ExplicitIfOffered);
    EXPECT_EQ(Store().GetDestination(7).trustedCertificate, std::nullopt);
    const struct {
        const char* what;
        RegistryValue value;
        FTPEncryption expected;
    } encryptions[] = {
        {"plain", {RegistryType::kDword, {0, 0, 0, 0}}, FTPEncryption::None},
        {"implicit", {RegistryType::kDword, {3, 0, 0, 0}}, FTPEncryption::Implicit},
        {"past the settings", {RegistryType::kDword, {4, 0, 0, 0}}, FTPEncryption::ExplicitIfOffered},
        {"a string", {RegistryType::kString, {'2', 0, 0, 0}}, FTPEncryption::ExplicitIfOffered},
        {"two bytes", {RegistryType::kDword, {2, 0}}, FTPEncryption::ExplicitIfOffered},
    };
    for (const auto& c : encryptions) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(key->Write(L"Encryption", c.value));
        EXPECT_EQ(Store().GetDestination(7).encryption, c.expected);
    }
    Sha256Fingerprint bytes{};
    bytes[0] = 0xAB;
    bytes[31] = 0x01;
    std::wstring bare;
    for (wchar_t c : FingerprintText(bytes))
        if (c != L':') bare += static_cast<wchar_t>(std::towlower(c));
    const struct {
        const char* what;
        std::wstring text;
        std::optional<Sha256Fingerprint> expected;
    } fingerprints[] = {
        {"as viewers print it", FingerprintText(bytes), bytes},
        {"lower case, no separators", bare, bytes},
        {"one digit short", bare.substr(1), std::nullopt},
        {"no fingerprint", L"trust me", std::nullopt},
    };
    for (const auto& c : fingerprints) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteString(*key, L"CertificateFingerprint", c.text));
        EXPECT_EQ(Store().GetDestination(7).trustedCertificate, c.expected);
    }
    // A record without one removes the one stored: the user's trust goes with the destination's.
    FTPDestination cleared = Store().GetDestination(7);
    cleared.trustedCertificate.reset();
    Store().SaveDestination(cleared);
    EXPECT_FALSE(key->Read(L"CertificateFingerprint"));
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

// What the shell extension reads inside the file manager: names and numbers, no password in
// either mode.
TEST_P(DestinationPassword, StoreThatSkipsPasswordsLoadsEverythingElse) {
    const DestinationStore namesOnly(Registry(), Protection(), Passwords::Skip);
    FTPDestination d = Filled(Store().CreateDestination(false));
    Store().SaveDestination(d);
    for (const bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "plain" : "protected");
        SetPlainMode(plain);
        if (plain) Store().SaveDestination(d);
        ASSERT_EQ(Store().GetDestination(d.number).password, d.password);
        const FTPDestination loaded = namesOnly.GetDestination(d.number);
        EXPECT_EQ(loaded.displayName, d.displayName);
        EXPECT_EQ(loaded.password, L"");
        const auto all = namesOnly.LoadAllDestinations();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].displayName, d.displayName);
        EXPECT_EQ(all[0].password, L"");
    }
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

// A standard user cannot write the machine's hive: machine-wide records load, saves do nothing.
TEST(DestinationProtection, ReadOnlyMachineHiveLoadsAndSkipsWrites) {
    MemoryRegistry registry;
    ScrambleProtection protection;
    DestinationStore store(registry, protection);
    FTPDestination machine = Filled(store.CreateDestination(true));
    store.SaveDestination(machine);
    registry.SetWritable(Hive::LocalMachine, false);
    machine.displayName = L"changed";
    store.SaveDestination(machine);
    EXPECT_EQ(store.GetDestination(65536).displayName, Filled(machine).displayName);
    store.RemoveDestination(65536);
    EXPECT_THAT(Numbers(store.LoadAllDestinations()), ElementsAre(65536));
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
