// Values of random types and sizes, and subkeys of random names, where the store and the settings
// read: every read must come back (with defaults where nothing is readable) without touching
// memory it should not, and what it returns must keep the store's bounds.
#include <gtest/gtest.h>

#include <random>

#include "store/ApplicationSettings.h"
#include "tests/store/StoreTestSupport.h"

using namespace platform;
using storetest::StoreTest;

namespace {

using HostileStore = StoreTest;

void ExpectWithinBounds(const FTPDestination& d) {
    for (const std::wstring* text : {&d.displayName, &d.server, &d.userName, &d.directory, &d.password})
        EXPECT_LE(text->size(), 259u);
    EXPECT_NE(d.port, 0);
}

TEST_P(HostileStore, EveryReadSurvivesRandomValuesAndSubkeys) {
    std::mt19937 random(20261207);
    const std::wstring subkeyNames[] = {L"1",  L"2",     L"3",       L"01",         L"-1", L"65536",
                                        L"65537", L"Options", L"abc", L" 4", L"2147483647",
                                        L"99999999999", std::wstring(255, L'7'), L"5\\{GUID}"};
    const std::wstring names[] = {L"",         L"Dispname",  L"Server",           L"Port",
                                  L"Username", L"Directory", L"Password",         L"SkipDPAPI",
                                  L"FullPath", L"SmartContextMenu", L"SkipFolderConfirmation",
                                  L"TroubleshootList"};
    const std::size_t sizes[] = {0, 1, 2, 3, 4, 5, 7, 8, 258, 517, 518, 519, 520, 521, 522, 4096, 65536};
    std::uniform_int_distribution<int> byte(0, 255);
    const auto fill = [&](RegistryKey& key) {
        for (const std::wstring& name : names) {
            if (random() % 4 == 0) {
                key.DeleteValue(name);
                continue;
            }
            RegistryValue value;
            value.type = static_cast<std::uint32_t>(random() % 12);
            value.data.resize(sizes[random() % std::size(sizes)]);
            for (auto& b : value.data) b = static_cast<std::uint8_t>(byte(random));
            // Zeroed tails make terminated strings, which reach the parsing past the checks.
            if (random() % 2 && value.data.size() >= 2) value.data.end()[-1] = value.data.end()[-2] = 0;
            ASSERT_TRUE(key.Write(name, value));
        }
    };
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        for (const Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
            auto storeKey = Registry().Create(hive, kDestinationsPath);
            ASSERT_NE(storeKey, nullptr);
            ASSERT_NO_FATAL_FAILURE(fill(*storeKey));
            for (const std::wstring& name : subkeyNames) {
                if (random() % 3 == 0) {
                    storeKey->DeleteTree(name);
                    continue;
                }
                auto key = storeKey->Create(name);
                ASSERT_NE(key, nullptr);
                ASSERT_NO_FATAL_FAILURE(fill(*key));
            }
        }
        for (const wchar_t* path : {L"Software\\Orvane", L"Software\\Orvane\\Options"}) {
            auto key = Registry().Create(Hive::CurrentUser, path);
            ASSERT_NE(key, nullptr);
            ASSERT_NO_FATAL_FAILURE(fill(*key));
        }

        DestinationStore store = Store();
        for (const auto& d : store.LoadAllDestinations()) {
            ExpectWithinBounds(d);
            EXPECT_EQ(d.keyName, std::to_wstring(d.number));
            EXPECT_EQ(d.machineWide, d.number >= MACHINE_NUMBER_BASE);
            ExpectWithinBounds(store.GetDestination(d.number));
        }
        for (const std::wstring& name : subkeyNames) {
            ExpectWithinBounds(store.LoadDestination(kDestinationsPath, name, false));
            ExpectWithinBounds(store.LoadDestination(kDestinationsPath, name, true));
        }
        ExpectWithinBounds(store.GetDestination(store.GetDefaultDestination()));
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
