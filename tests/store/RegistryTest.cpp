// The registry interface's contract, checked on the in-memory registry and, on Windows, on the
// real one, so that the two cannot drift apart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/RegistryValues.h"
#include "platform/memory/MemoryRegistry.h"
#include "tests/store/RegistryBackends.h"

using namespace platform;
using storetest::Backend;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

RegistryValue Value(std::uint32_t type, std::vector<std::uint8_t> data) { return {type, std::move(data)}; }

class RegistryContract : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        m_sandbox = m_registry.Get().Create(Hive::CurrentUser, storetest::kSandboxPath);
        ASSERT_NE(m_sandbox, nullptr);
    }

    storetest::TestRegistry m_registry{GetParam()};
    std::unique_ptr<RegistryKey> m_sandbox;
};

// ---- names ----

TEST_P(RegistryContract, KeyNamesIgnoreCaseAndKeepTheCaseTheyWereCreatedWith) {
    ASSERT_NE(m_sandbox->Create(L"Alpha"), nullptr);
    EXPECT_NE(m_sandbox->Open(L"ALPHA", Access::Read), nullptr);
    ASSERT_NE(m_sandbox->Create(L"alpha\\Beta"), nullptr);
    EXPECT_THAT(m_sandbox->SubkeyNames(), ElementsAre(L"Alpha"));
    EXPECT_NE(m_sandbox->Open(L"ALPHA\\bEtA", Access::ReadWrite), nullptr);
}

TEST_P(RegistryContract, ValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
    ASSERT_TRUE(WriteDword(*m_sandbox, L"Port", 21));
    ASSERT_TRUE(WriteDword(*m_sandbox, L"PORT", 2121));
    EXPECT_EQ(ReadDword(*m_sandbox, L"port"), 2121u);
    EXPECT_THAT(m_sandbox->ValueNames(), ElementsAre(L"Port"));
}

TEST_P(RegistryContract, SubkeysEnumerateSortedWithoutRegardToCase) {
    for (const wchar_t* name : {L"b", L"Options", L"abc", L"2", L"10", L"A", L"1", L"C", L"65536"})
        ASSERT_NE(m_sandbox->Create(name), nullptr) << name;
    EXPECT_THAT(m_sandbox->SubkeyNames(),
                ElementsAre(L"1", L"10", L"2", L"65536", L"A", L"abc", L"b", L"C", L"Options"));
}

TEST_P(RegistryContract, ValuesEnumerateInTheOrderFirstWritten) {
    if (GetParam() == storetest::Backend::System)
        GTEST_SKIP() << "Wine's registry differs from Windows' in this detail; the in-memory tree keeps Windows' rule";
    ASSERT_TRUE(WriteString(*m_sandbox, L"Zeta", L"z"));
    ASSERT_TRUE(WriteString(*m_sandbox, L"alpha", L"a"));
    ASSERT_TRUE(WriteString(*m_sandbox, L"Mid", L"m"));
    ASSERT_TRUE(WriteString(*m_sandbox, L"alpha", L"rewritten"));
    EXPECT_THAT(m_sandbox->ValueNames(), ElementsAre(L"Zeta", L"alpha", L"Mid"));
    ASSERT_TRUE(m_sandbox->DeleteValue(L"zeta"));
    ASSERT_TRUE(WriteString(*m_sandbox, L"Zeta", L"again"));
    EXPECT_THAT(m_sandbox->ValueNames(), ElementsAre(L"alpha", L"Mid", L"Zeta"));
    EXPECT_FALSE(m_sandbox->DeleteValue(L"Missing"));
}

TEST_P(RegistryContract, KeyNamesAreAtMost255Characters) {
    if (GetParam() == storetest::Backend::System)
        GTEST_SKIP() << "Wine's registry differs from Windows' in this detail; the in-memory tree keeps Windows' rule";
    EXPECT_NE(m_sandbox->Create(std::wstring(255, L'k')), nullptr);
    EXPECT_EQ(m_sandbox->Create(std::wstring(256, L'k')), nullptr);
    EXPECT_THAT(m_sandbox->SubkeyNames(), ElementsAre(std::wstring(255, L'k')));
}

// ---- values ----

TEST_P(RegistryContract, ValuesComeBackWithTheirTypeAndExactBytes) {
    if (GetParam() == storetest::Backend::System)
        GTEST_SKIP() << "Wine's registry differs from Windows' in this detail; the in-memory tree keeps Windows' rule";
    const std::vector<RegistryValue> values = {
        Value(RegistryType::kBinary, {}),
        Value(RegistryType::kBinary, {0, 1, 2, 255}),
        Value(RegistryType::kString, {'a', 0}),          // no terminator, odd: stored as given
        Value(RegistryType::kString, {'a', 0, 'b', 0}),  // no terminator
        Value(RegistryType::kDword, {1, 2, 3, 4, 5, 6, 7, 8}),
        Value(RegistryType::kDword, {7}),
        Value(0x1234, {9, 9, 9}),
        Value(RegistryType::kString, std::vector<std::uint8_t>(70000, 'x')),
    };
    for (std::size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(i);
        const std::wstring name = L"v" + std::to_wstring(i);
        ASSERT_TRUE(m_sandbox->Write(name, values[i]));
        const auto back = m_sandbox->Read(name);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->type, values[i].type);
        EXPECT_EQ(back->data, values[i].data);
    }
    EXPECT_FALSE(m_sandbox->Read(L"missing").has_value());
}

TEST_P(RegistryContract, TheUnnamedValueIsAValueLikeAnyOther) {
    EXPECT_FALSE(m_sandbox->Read(L"").has_value());
    ASSERT_TRUE(WriteDword(*m_sandbox, L"", 3));
    EXPECT_EQ(ReadDword(*m_sandbox, L""), 3u);
    ASSERT_TRUE(m_sandbox->DeleteValue(L""));
    EXPECT_FALSE(m_sandbox->Read(L"").has_value());
}

// ---- opening, creating, access ----

TEST_P(RegistryContract, OpenNeverCreatesAndCreateMakesEveryKeyOnTheWay) {
    EXPECT_EQ(m_sandbox->Open(L"x", Access::Read), nullptr);
    EXPECT_THAT(m_sandbox->SubkeyNames(), IsEmpty());
    ASSERT_NE(m_sandbox->Create(L"x\\y\\z", Access::Read), nullptr);
    EXPECT_NE(m_sandbox->Open(L"x\\y", Access::Read), nullptr);
    EXPECT_NE(m_registry.Get().Open(Hive::CurrentUser, storetest::kSandboxPath + L"\\x\\y\\z", Access::Read),
              nullptr);
}

TEST_P(RegistryContract, AnEmptyPathOpensTheKeyItself) {
    ASSERT_TRUE(WriteDword(*m_sandbox, L"n", 5));
    const auto same = m_sandbox->Open(L"", Access::Read);
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(ReadDword(*same, L"n"), 5u);
}

TEST_P(RegistryContract, AKeyOpenedForReadingRefusesWrites) {
    ASSERT_NE(m_sandbox->Create(L"k"), nullptr);
    const auto reader = m_sandbox->Open(L"k", Access::Read);
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(WriteDword(*reader, L"n", 1));
    EXPECT_FALSE(reader->Read(L"n").has_value());
    const auto created = m_sandbox->Create(L"k", Access::Read);
    ASSERT_NE(created, nullptr);
    EXPECT_FALSE(WriteDword(*created, L"n", 1));
}

// ---- deleting ----

TEST_P(RegistryContract, DeleteTreeRemovesTheKeyWithEverythingBelowIt) {
    const auto deep = m_sandbox->Create(L"a\\b\\c");
    ASSERT_NE(deep, nullptr);
    ASSERT_TRUE(WriteDword(*deep, L"n", 1));
    ASSERT_NE(m_sandbox->Create(L"a\\b2"), nullptr);
    ASSERT_NE(m_sandbox->Create(L"keep"), nullptr);

    EXPECT_TRUE(m_sandbox->DeleteTree(L"A"));
    EXPECT_EQ(m_sandbox->Open(L"a", Access::Read), nullptr);
    EXPECT_THAT(m_sandbox->SubkeyNames(), ElementsAre(L"keep"));
    EXPECT_FALSE(m_sandbox->DeleteTree(L"a"));
}

TEST_P(RegistryContract, AHandleStaysUsableButEmptyAfterItsKeyIsDeleted) {
    auto child = m_sandbox->Create(L"gone\\child");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WriteDword(*child, L"n", 1));
    ASSERT_TRUE(m_sandbox->DeleteTree(L"gone"));

    EXPECT_FALSE(child->Read(L"n").has_value());
    EXPECT_FALSE(WriteDword(*child, L"n", 2));
    EXPECT_THAT(child->SubkeyNames(), IsEmpty());
    EXPECT_THAT(child->ValueNames(), IsEmpty());
    EXPECT_EQ(child->Create(L"grandchild"), nullptr);

    // The same path created again is a new, empty key; the old handle does not see it.
    const auto again = m_sandbox->Create(L"gone\\child");
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->Read(L"n").has_value());
    ASSERT_TRUE(WriteDword(*again, L"n", 3));
    EXPECT_FALSE(child->Read(L"n").has_value());
}

TEST_P(RegistryContract, RegistryLevelCallsReachTheHive) {
    ASSERT_NE(m_registry.Get().Create(Hive::CurrentUser, storetest::kSandboxPath + L"\\p\\q"), nullptr);
    EXPECT_NE(m_sandbox->Open(L"p\\q", Access::Read), nullptr);
    EXPECT_TRUE(m_registry.Get().DeleteTree(Hive::CurrentUser, storetest::kSandboxPath + L"\\p"));
    EXPECT_EQ(m_sandbox->Open(L"p", Access::Read), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryContract, testing::ValuesIn(storetest::AllBackends()),
                         storetest::BackendTestName);

// ---- what only the in-memory registry has ----

TEST(MemoryRegistry, HivesAreSeparateTrees) {
    MemoryRegistry registry;
    ASSERT_NE(registry.Create(Hive::CurrentUser, L"Software\\X"), nullptr);
    EXPECT_EQ(registry.Open(Hive::LocalMachine, L"Software\\X", Access::Read), nullptr);
    EXPECT_EQ(registry.Open(Hive::ClassesRoot, L"Software\\X", Access::Read), nullptr);
}

TEST(MemoryRegistry, PathsWithEmptyComponentsAreRefused) {
    MemoryRegistry registry;
    EXPECT_EQ(registry.Create(Hive::CurrentUser, L"\\Software"), nullptr);
    EXPECT_EQ(registry.Create(Hive::CurrentUser, L"Software\\\\X"), nullptr);
    EXPECT_NE(registry.Create(Hive::CurrentUser, L"Software\\X\\"), nullptr);
    EXPECT_NE(registry.Open(Hive::CurrentUser, L"Software\\X", Access::Read), nullptr);
}

TEST(MemoryRegistry, AReadOnlyHiveOpensExistingKeysForReadingOnly) {
    MemoryRegistry registry;
    const auto written = registry.Create(Hive::LocalMachine, L"Software\\X");
    ASSERT_NE(written, nullptr);
    ASSERT_TRUE(WriteDword(*written, L"n", 7));
    registry.SetWritable(Hive::LocalMachine, false);

    const auto reader = registry.Create(Hive::LocalMachine, L"Software\\X", Access::Read);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(ReadDword(*reader, L"n"), 7u);
    EXPECT_EQ(registry.Create(Hive::LocalMachine, L"Software\\X", Access::ReadWrite), nullptr);
    EXPECT_EQ(registry.Open(Hive::LocalMachine, L"Software\\X", Access::ReadWrite), nullptr);
    EXPECT_EQ(registry.Create(Hive::LocalMachine, L"Software\\X\\New", Access::Read), nullptr);
    EXPECT_FALSE(WriteDword(*written, L"n", 8));  // a handle opened before is refused as well
    EXPECT_FALSE(registry.DeleteTree(Hive::LocalMachine, L"Software\\X"));
    EXPECT_EQ(ReadDword(*reader, L"n"), 7u);
    EXPECT_NE(registry.Create(Hive::CurrentUser, L"Software\\X"), nullptr);
}

TEST(MemoryRegistry, ClearEmptiesEveryHiveAndDeletesOpenKeys) {
    MemoryRegistry registry;
    const auto key = registry.Create(Hive::CurrentUser, L"Software\\X");
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(WriteDword(*key, L"n", 1));
    registry.Clear();
    EXPECT_FALSE(key->Read(L"n").has_value());
    EXPECT_EQ(registry.Open(Hive::CurrentUser, L"Software", Access::Read), nullptr);
    EXPECT_NE(registry.Create(Hive::CurrentUser, L"Software\\X"), nullptr);
}

TEST(MemoryRegistry, ConcurrentWritersAndReadersLoseNothing) {
    MemoryRegistry registry;
    constexpr int kThreads = 4;
    constexpr int kKeysPerThread = 200;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kKeysPerThread; ++i) {
                const std::wstring path = L"Software\\T\\" + std::to_wstring(t * kKeysPerThread + i);
                auto key = registry.Create(Hive::CurrentUser, path);
                if (!key || !WriteDword(*key, L"n", static_cast<std::uint32_t>(i))) ++failures;
                const auto parent = registry.Open(Hive::CurrentUser, L"Software\\T", Access::Read);
                if (!parent || parent->SubkeyNames().empty()) ++failures;
                if (i % 10 == 0 && !registry.DeleteTree(Hive::CurrentUser, path)) ++failures;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    const auto parent = registry.Open(Hive::CurrentUser, L"Software\\T", Access::Read);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->SubkeyNames().size(), static_cast<std::size_t>(kThreads * kKeysPerThread * 9 / 10));
}

}  // namespace
