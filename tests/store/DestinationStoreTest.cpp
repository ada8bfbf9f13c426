// The destination store against the in-memory registry and, on Windows, the real registry with
// the real data-protection API.
#include <gmock/gmock.h>

#include <algorithm>
#include <tuple>

#include "platform/RegistryValues.h"
#include "tests/store/StoreTestSupport.h"

using namespace platform;
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

class Destinations : public StoreTest {
protected:
    // A filled user destination, saved; its key for reading the raw values.
    FTPDestination Saved() {
        const FTPDestination d = Filled(Store().CreateDestination(false));
        Store().SaveDestination(d);
        return d;
    }
    std::unique_ptr<RegistryKey> KeyOf(const FTPDestination& d) {
        return Registry().Create(Hive::CurrentUser, DestinationKeyPath(d));
    }
};

TEST_P(Destinations, ListsNumberedSubkeysUserFirstAndNothingElse) {
    auto user = UserStoreKey();
    auto machine = Registry().Create(Hive::LocalMachine, kDestinationsPath);
    ASSERT_TRUE(user && machine);
    for (const wchar_t* name : {L"2", L"Options", L"abc", L"1", L"5", L"0", L"65536"})
        ASSERT_NE(user->Create(name), nullptr);
    for (const wchar_t* name : {L"65537", L"65536"}) ASSERT_NE(machine->Create(name), nullptr);
    ASSERT_TRUE(WriteString(*user->Create(L"2"), L"Dispname", L"second"));

    const auto all = Store().LoadAllDestinations();
    ASSERT_THAT(Numbers(all), ElementsAre(1, 2, 5, 65536, 65536, 65537));
    EXPECT_EQ(all[1].displayName, L"second");
    // A user subkey 65536 (a hand-off to a machine-wide destination leaves one) is listed as it is.
    EXPECT_FALSE(all[3].machineWide);
    EXPECT_TRUE(all[4].machineWide);
    EXPECT_EQ(DestinationKeyPath(all[5]), kDestinationsPath + L"\\65537");

    // A new destination takes the lowest free number of its hive; never saved, it is still listed.
    EXPECT_EQ(Store().CreateDestination(false).number, 3);
    EXPECT_EQ(Store().CreateDestination(false).number, 4);
    EXPECT_EQ(Store().CreateDestination(false).number, 6);
    const FTPDestination created = Store().CreateDestination(true);
    EXPECT_TRUE(created.machineWide);
    EXPECT_EQ(created.number, 65538);
    EXPECT_THAT(Numbers(Store().LoadAllDestinations()), ElementsAre(1, 2, 3, 4, 5, 6, 65536, 65536, 65537, 65538));
}

TEST_P(Destinations, RemovingTakesTheWholeTreeAndTheDefaultMarkOnlyIfItWasTheDefault) {
    Saved();
    const FTPDestination two = Saved();
    ASSERT_NE(Registry().Create(Hive::CurrentUser, DestinationKeyPath(two) + L"\\handoff\\sub"), nullptr);

    Store().SetDefaultDestination(1);
    Store().RemoveDestination(2);
    EXPECT_EQ(Store().GetDefaultDestination(), 1);
    EXPECT_THAT(Numbers(Store().LoadAllDestinations()), ElementsAre(1));

    Store().RemoveDestination(1);
    EXPECT_EQ(UserStoreKey()->Read(L""), std::nullopt);

    Store().SetDefaultDestination(Store().CreateDestination(true).number);
    EXPECT_NE(UserStoreKey()->Read(L""), std::nullopt);  // the default lives in the user's hive
    EXPECT_EQ(Store().GetDefaultDestination(), 65536);
    Store().RemoveDestination(65536);
    EXPECT_EQ(Store().GetDefaultDestination(), 0);
    EXPECT_EQ(Registry().Open(Hive::LocalMachine, kDestinationsPath + L"\\65536", Access::Read), nullptr);
}

TEST_P(Destinations, SavedFieldsLoadBackWithTheirTypesAndAnEmptyPasswordKeepsTheStoredOne) {
    const FTPDestination saved = Saved();
    const auto fields = [](const FTPDestination& d) {
        return std::tuple(d.displayName, d.server, d.userName, d.directory, d.port, d.password, d.encryption,
                          d.trustedCertificate, d.machineWide);
    };
    EXPECT_EQ(fields(Store().GetDestination(saved.number)), fields(saved));
    const auto key = KeyOf(saved);
    EXPECT_EQ(ReadDword(*key, L"Port"), 2121u);
    EXPECT_EQ(ReadDword(*key, L"Encryption"), 3u);
    EXPECT_EQ(ReadString(*key, L"CertificateFingerprint", 260), FingerprintText(*saved.trustedCertificate));

    const FTPDestination machine = Filled(Store().CreateDestination(true));
    Store().SaveDestination(machine);
    EXPECT_EQ(Store().GetDestination(65536).password, machine.password);

    // An empty password keeps the stored one (the dialogs never show it); a new one replaces it.
    FTPDestination renamed = saved;
    renamed.password.clear();
    renamed.displayName = L"renamed";
    Store().SaveDestination(renamed);
    EXPECT_EQ(Store().GetDestination(saved.number).password, saved.password);
    EXPECT_EQ(Store().GetDestination(saved.number).displayName, L"renamed");
    renamed.password = L"new";
    Store().SaveDestination(renamed);
    EXPECT_EQ(Store().GetDestination(saved.number).password, L"new");
}

TEST_P(Destinations, MissingOrMalformedValuesLeaveTheDefaults) {
    auto key = UserStoreKey()->Create(L"7");
    const FTPDestination bare = Store().GetDestination(7);
    EXPECT_EQ(bare.port, 21);
    EXPECT_EQ(bare.connections, 4u);
    EXPECT_EQ(bare.encryption, FTPEncryption::ExplicitIfOffered);
    EXPECT_EQ(bare.trustedCertificate, std::nullopt);
    const std::wstring c259(259, L'c');
    ASSERT_TRUE(WriteString(*key, L"Dispname", c259));
    EXPECT_EQ(Store().GetDestination(7).displayName, c259);
    ASSERT_TRUE(WriteString(*key, L"Dispname", c259 + L"c"));
    EXPECT_EQ(Store().GetDestination(7).displayName, L"");
    // The port takes the low 16 bits of whatever 4 bytes or fewer are stored, preset to 21; the
    // default destination whatever they hold, else 0.
    ASSERT_TRUE(key->Write(L"Port", {RegistryType::kDword, {0x39, 0x08, 0x01, 0x00}}));
    EXPECT_EQ(Store().GetDestination(7).port, 0x0839);
    ASSERT_TRUE(key->Write(L"Port", {RegistryType::kDword, {1, 2, 3, 4, 5, 6, 7, 8}}));
    EXPECT_EQ(Store().GetDestination(7).port, 21);
    ASSERT_TRUE(UserStoreKey()->Write(L"", {RegistryType::kBinary, {3, 1}}));
    EXPECT_EQ(Store().GetDefaultDestination(), 259);
    ASSERT_TRUE(UserStoreKey()->Write(L"", {RegistryType::kBinary, {1, 0, 0, 0, 0}}));
    EXPECT_EQ(Store().GetDefaultDestination(), 0);
    ASSERT_TRUE(key->Write(L"Connections", {RegistryType::kDword, {1, 0, 0, 0}}));
    EXPECT_EQ(Store().GetDestination(7).connections, 1u);

    // A destination from before encrypted connections takes TLS where the server offers it; a
    // value that is not one of the four settings, or no fingerprint, reads as absent.
    const std::pair<RegistryValue, FTPEncryption> encryptions[] = {
        {{RegistryType::kDword, {0, 0, 0, 0}}, FTPEncryption::None},
        {{RegistryType::kDword, {4, 0, 0, 0}}, FTPEncryption::ExplicitIfOffered},
        {{RegistryType::kDword, {2, 0}}, FTPEncryption::ExplicitIfOffered},
    };
    for (const auto& [value, expected] : encryptions) {
        SCOPED_TRACE(testing::PrintToString(value.data));
        ASSERT_TRUE(key->Write(L"Encryption", value));
        EXPECT_EQ(Store().GetDestination(7).encryption, expected);
    }
    Sha256Fingerprint bytes{};
    bytes.fill(0xAA);
    const std::pair<std::wstring, std::optional<Sha256Fingerprint>> fingerprints[] = {
        {std::wstring(64, L'a'), bytes},
        {std::wstring(63, L'a'), std::nullopt},
    };
    for (const auto& [text, expected] : fingerprints) {
        SCOPED_TRACE(text.size());
        ASSERT_TRUE(WriteString(*key, L"CertificateFingerprint", text));
        EXPECT_EQ(Store().GetDestination(7).trustedCertificate, expected);
    }
    // A record without one removes the one stored: the user's trust goes with the destination's.
    FTPDestination cleared = Store().GetDestination(7);
    cleared.trustedCertificate.reset();
    Store().SaveDestination(cleared);
    EXPECT_FALSE(key->Read(L"CertificateFingerprint"));
}

// A password is saved as the mode asks, protected as a blob that does not hold the secret, and
// reads back only in the mode it was saved in; a damaged blob reads as empty. The names-only store
// the shell extension reads inside the file manager never holds one.
TEST_P(Destinations, PasswordsReadBackOnlyInTheirModeAndNeverThroughTheNamesOnlyStore) {
    const DestinationStore namesOnly(Registry(), Protection(), Passwords::Skip);
    FTPDestination d = Saved();
    const std::wstring secret = d.password;
    for (const bool plain : {true, false}) {
        SCOPED_TRACE(plain ? "plain" : "protected");
        auto options = UserStoreKey()->Create(L"Options");
        ASSERT_TRUE(options && WriteDword(*options, L"SkipDPAPI", plain));
        EXPECT_EQ(Store().GetDestination(d.number).password, L"") << "saved in the other mode";
        d.password = plain ? L"clear text" : secret;
        Store().SaveDestination(d);
        EXPECT_EQ(KeyOf(d)->Read(L"Password")->type, plain ? RegistryType::kString : RegistryType::kBinary);
        EXPECT_EQ(Store().GetDestination(d.number).password, d.password);
        const auto all = namesOnly.LoadAllDestinations();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].displayName, d.displayName);
        EXPECT_EQ(all[0].password, L"");
    }

    auto key = KeyOf(d);
    auto blob = ReadBinary(*key, L"Password");
    ASSERT_TRUE(blob.has_value());
    for (const std::wstring& part : {secret, std::wstring(L"w0rd")}) {
        const auto needle = ToUtf16Bytes(part);
        EXPECT_EQ(std::search(blob->begin(), blob->end(), needle.begin(), needle.end()), blob->end());
    }
    for (std::size_t at = blob->size() / 3; at < blob->size() * 2 / 3; ++at) (*blob)[at] ^= 0x5A;
    for (const auto& damaged : {*blob, std::vector<std::uint8_t>{1, 2, 3}, std::vector<std::uint8_t>{}}) {
        SCOPED_TRACE(damaged.size());
        ASSERT_TRUE(WriteBinary(*key, L"Password", damaged));
        EXPECT_EQ(Store().GetDestination(d.number).password, L"");
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, Destinations, storetest::kBackends, storetest::BackendName);

// The scope decides who may read a password back: the user for user destinations, any user of
// the machine for machine-wide ones. A standard user cannot write the machine's hive: machine-wide
// records load, saves and removals do nothing.
TEST(DestinationProtection, MachineWideDestinationsAskForTheMachineScopeAndMayBeReadOnly) {
    MemoryRegistry registry;
    ScrambleProtection protection;
    DestinationStore store(registry, protection);
    store.SaveDestination(Filled(store.CreateDestination(false)));
    EXPECT_EQ(protection.LastScope(), ProtectionScope::User);
    FTPDestination machine = Filled(store.CreateDestination(true));
    store.SaveDestination(machine);
    EXPECT_EQ(protection.LastScope(), ProtectionScope::Machine);

    registry.SetWritable(Hive::LocalMachine, false);
    machine.displayName = L"changed";
    store.SaveDestination(machine);
    EXPECT_EQ(store.GetDestination(65536).displayName, Filled(machine).displayName);
    store.RemoveDestination(65536);
    EXPECT_THAT(Numbers(store.LoadAllDestinations()), ElementsAre(1, 65536));
}

}  // namespace
