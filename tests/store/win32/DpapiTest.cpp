// Passwords through the real data-protection API and the real registry: what lands in the
// registry, the flags each scope turns into, and blobs that must not decrypt.
#include <windows.h>
#include <dpapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/RegistryValues.h"
#include "platform/win32/DpapiProtection.h"
#include "store/DestinationStore.h"
#include "tests/store/RegistryBackends.h"

using namespace platform;

namespace {

// The flags of the latest calls; the real API still does the work.
DWORD g_protectFlags = 0;
DWORD g_unprotectFlags = 0;

BOOL WINAPI RecordingProtect(DATA_BLOB* in, LPCWSTR description, DATA_BLOB* entropy, PVOID reserved,
                             CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD flags, DATA_BLOB* out) {
    g_protectFlags = flags;
    return ::CryptProtectData(in, description, entropy, reserved, prompt, flags, out);
}

BOOL WINAPI RecordingUnprotect(DATA_BLOB* in, LPWSTR* description, DATA_BLOB* entropy, PVOID reserved,
                               CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD flags, DATA_BLOB* out) {
    g_unprotectFlags = flags;
    return ::CryptUnprotectData(in, description, entropy, reserved, prompt, flags, out);
}

std::vector<std::uint8_t> Bytes(const std::wstring& text) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    return {data, data + text.size() * sizeof(wchar_t)};
}

bool Contains(const std::vector<std::uint8_t>& haystack, const std::vector<std::uint8_t>& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// Calls the API directly, as another build of either deliverable would.
std::vector<std::uint8_t> ProtectDirectly(const std::vector<std::uint8_t>& clear, DWORD flags,
                                          DATA_BLOB* entropy = nullptr) {
    DATA_BLOB in{static_cast<DWORD>(clear.size()), const_cast<BYTE*>(clear.data())};
    DATA_BLOB out{};
    if (!::CryptProtectData(&in, nullptr, entropy, nullptr, nullptr, flags, &out)) return {};
    std::vector<std::uint8_t> blob(out.pbData, out.pbData + out.cbData);
    ::LocalFree(out.pbData);
    return blob;
}

std::optional<std::vector<std::uint8_t>> UnprotectDirectly(const std::vector<std::uint8_t>& blob) {
    DATA_BLOB in{static_cast<DWORD>(blob.size()), const_cast<BYTE*>(blob.data())};
    DATA_BLOB out{};
    if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return std::nullopt;
    std::vector<std::uint8_t> clear(out.pbData, out.pbData + out.cbData);
    ::LocalFree(out.pbData);
    return clear;
}

class DpapiStore : public testing::Test {
protected:
    DpapiStore() { g_protectFlags = g_unprotectFlags = 0; }

    FTPDestination Saved(bool machineWide, const std::wstring& password) {
        FTPDestination d = m_store.CreateDestination(machineWide);
        d.displayName = L"dpapi";
        d.server = L"127.0.0.1";
        d.password = password;
        m_store.SaveDestination(d);
        return d;
    }
    std::unique_ptr<RegistryKey> KeyOf(const FTPDestination& d) {
        return m_registry.Get().Create(d.machineWide ? Hive::LocalMachine : Hive::CurrentUser, DestinationKeyPath(d));
    }

    storetest::TestRegistry m_registry{storetest::Backend::System};
    win32::DpapiProtection m_protection{&RecordingProtect, &RecordingUnprotect};
    DestinationStore m_store{m_registry.Get(), m_protection};
};

TEST_F(DpapiStore, UserPasswordIsProtectedWithFlags1AndReadsBack) {
    const std::wstring password = L"s\u00e9cr\u00eat \u4e2d pass";
    const FTPDestination d = Saved(false, password);
    EXPECT_EQ(d.number, 1);
    EXPECT_EQ(g_protectFlags, static_cast<DWORD>(CRYPTPROTECT_UI_FORBIDDEN));

    const auto stored = KeyOf(d)->Read(L"Password");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, static_cast<std::uint32_t>(REG_BINARY));
    EXPECT_FALSE(Contains(stored->data, Bytes(password)));
    EXPECT_FALSE(Contains(stored->data, Bytes(L"pass")));
    // The protected bytes are the UTF-16 text without its terminator.
    EXPECT_EQ(UnprotectDirectly(stored->data), Bytes(password));

    EXPECT_EQ(m_store.GetDestination(1).password, password);
    EXPECT_EQ(g_unprotectFlags, static_cast<DWORD>(CRYPTPROTECT_UI_FORBIDDEN));
}

TEST_F(DpapiStore, MachineWidePasswordIsProtectedWithFlags5AndReadsBackFromTheMachineHive) {
    const FTPDestination d = Saved(true, L"for every user");
    EXPECT_EQ(d.number, 65536);
    EXPECT_EQ(g_protectFlags, static_cast<DWORD>(CRYPTPROTECT_UI_FORBIDDEN | CRYPTPROTECT_LOCAL_MACHINE));
    EXPECT_NE(m_registry.Get().Open(Hive::LocalMachine, kDestinationsPath + L"\\65536", Access::Read), nullptr);
    EXPECT_EQ(m_registry.Get().Open(Hive::CurrentUser, kDestinationsPath + L"\\65536", Access::Read), nullptr);

    const FTPDestination loaded = m_store.GetDestination(65536);
    EXPECT_TRUE(loaded.machineWide);
    EXPECT_EQ(loaded.password, L"for every user");
    EXPECT_EQ(g_unprotectFlags, static_cast<DWORD>(CRYPTPROTECT_UI_FORBIDDEN));  // the blob knows its scope
    EXPECT_EQ(m_store.CreateDestination(true).number, 65537);
}

TEST_F(DpapiStore, PasswordProtectedElsewhereReadsBack) {
    const FTPDestination d = Saved(false, L"old");
    ASSERT_TRUE(WriteBinary(*KeyOf(d), L"Password", ProtectDirectly(Bytes(L"from elsewhere"), CRYPTPROTECT_UI_FORBIDDEN)));
    EXPECT_EQ(m_store.GetDestination(d.number).password, L"from elsewhere");
}

TEST_F(DpapiStore, BlobsThatDoNotDecryptReadAsEmpty) {
    const FTPDestination d = Saved(false, L"secret");
    auto key = KeyOf(d);
    const auto good = ReadBinary(*key, L"Password").value_or(std::vector<std::uint8_t>(2));
    ASSERT_GT(good.size(), 16u);
    ASSERT_EQ(m_store.GetDestination(d.number).password, L"secret");

    std::vector<std::uint8_t> flippedTail = good;
    flippedTail.back() ^= 0x01;
    // The encrypted text and its check value are at the end; some header fields are not checked.
    std::vector<std::uint8_t> flippedEnd = good;
    for (std::size_t at = good.size() * 2 / 3; at < good.size(); ++at) flippedEnd[at] ^= 0x5A;
    const std::vector<std::uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
    DATA_BLOB entropy{4, const_cast<BYTE*>(reinterpret_cast<const BYTE*>("salt"))};
    struct Case {
        const char* what;
        RegistryValue value;
    };
    const Case cases[] = {
        {"last byte flipped", {REG_BINARY, flippedTail}},
        {"last third flipped", {REG_BINARY, flippedEnd}},
        {"truncated", {REG_BINARY, truncated}},
        {"clear text bytes", {REG_BINARY, Bytes(L"secret")}},
        {"empty", {REG_BINARY, {}}},
        // Protected with a secret this program does not pass, as another program's blob would be.
        {"protected with entropy", {REG_BINARY, ProtectDirectly(Bytes(L"secret"), CRYPTPROTECT_UI_FORBIDDEN, &entropy)}},
        {"string in normal mode", {REG_SZ, {'s', 0, 0, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(key->Write(L"Password", c.value));
        EXPECT_EQ(m_store.GetDestination(d.number).password, L"");
        EXPECT_EQ(m_store.GetDestination(d.number).displayName, L"dpapi");
    }
}

TEST_F(DpapiStore, SkipDPAPIStoresClearTextAndSwitchingModesEmptiesStoredPasswords) {
    const FTPDestination protectedOne = Saved(false, L"protected");
    auto options = m_registry.Get().Create(Hive::CurrentUser, kDestinationsPath + L"\\Options");
    ASSERT_TRUE(WriteDword(*options, L"SkipDPAPI", 1));
    EXPECT_EQ(m_store.GetDestination(protectedOne.number).password, L"");

    g_protectFlags = 0;
    const FTPDestination plain = Saved(false, L"plain text");
    EXPECT_EQ(g_protectFlags, 0u);  // not protected at all
    const auto stored = KeyOf(plain)->Read(L"Password");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, static_cast<std::uint32_t>(REG_SZ));
    EXPECT_EQ(ReadString(*KeyOf(plain), L"Password", 260), L"plain text");
    EXPECT_EQ(m_store.GetDestination(plain.number).password, L"plain text");

    ASSERT_TRUE(WriteDword(*options, L"SkipDPAPI", 0));
    EXPECT_EQ(m_store.GetDestination(plain.number).password, L"");
    EXPECT_EQ(m_store.GetDestination(protectedOne.number).password, L"protected");
}

}  // namespace
