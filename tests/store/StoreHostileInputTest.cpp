// Values of random types and sizes where the store and the settings read: every read must come
// back (with defaults where nothing is readable) without touching memory it should not.
#include <gtest/gtest.h>

#include <random>

#include "store/ApplicationSettings.h"
#include "tests/store/StoreTestSupport.h"

using namespace platform;
using storetest::StoreTest;

namespace {

using HostileStore = StoreTest;

TEST_P(HostileStore, EveryReadSurvivesRandomValues) {
    std::mt19937 random(20261207);
    const std::wstring keys[] = {kDestinationsPath, kDestinationsPath + L"\\1", kDestinationsPath + L"\\2",
                                 kDestinationsPath + L"\\Options", L"Software\\Orvane",
                                 L"Software\\Orvane\\Options"};
    const std::wstring names[] = {L"",         L"Dispname",  L"Server",           L"Port",
                                  L"Username", L"Directory", L"Password",         L"SkipDPAPI",
                                  L"FullPath", L"SmartContextMenu", L"SkipFolderConfirmation",
                                  L"TroubleshootList", L"Encryption", L"CertificateFingerprint"};
    const std::size_t sizes[] = {0, 1, 2, 3, 4, 5, 7, 8, 258, 518, 519, 520, 521, 522, 4096};
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE(round);
        for (const std::wstring& path : keys) {
            const Hive hive = round % 3 == 0 && path.starts_with(kDestinationsPath) ? Hive::LocalMachine
                                                                                    : Hive::CurrentUser;
            auto key = Registry().Create(hive, path);
            ASSERT_NE(key, nullptr);
            for (const std::wstring& name : names) {
                RegistryValue value;
                value.type = static_cast<std::uint32_t>(random() % 12);
                value.data.resize(sizes[random() % std::size(sizes)]);
                for (auto& b : value.data) b = static_cast<std::uint8_t>(byte(random));
                // Zeroed tails make terminated strings, which reach the parsing past the checks.
                if (random() % 2 && value.data.size() >= 2) value.data.end()[-1] = value.data.end()[-2] = 0;
                ASSERT_TRUE(key->Write(name, value));
            }
        }
        DestinationStore store = Store();
        for (const auto& d : store.LoadAllDestinations()) {
            EXPECT_LE(d.displayName.size(), 259u);
            EXPECT_LE(static_cast<std::uint32_t>(d.encryption), 3u);
        }
        (void)store.GetDestination(1);
        (void)store.GetDestination(65536);
        (void)store.GetDefaultDestination();
        (void)store.IsPlainPasswordMode();
        (void)IsSmartContextMenu(Registry());
        (void)IsSkipFolderConfirmation(Registry());
        (void)IsTroubleshootList(Registry());
        if (auto path = ReadUploaderPath(Registry())) {
            EXPECT_LE(path->size(), 259u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, HostileStore, testing::ValuesIn(storetest::AllBackends()),
                         storetest::BackendTestName);

}  // namespace
