#include "store/DestinationStore.h"

#include <algorithm>
#include <climits>

#include "platform/RegistryValues.h"
#include "store/RegistryReads.h"

using platform::Access;
using platform::Hive;

namespace {

constexpr std::size_t kLongestKeyName = 255;  // what a 256-unit enumeration buffer holds

Hive HiveOf(bool machineWide) { return machineWide ? Hive::LocalMachine : Hive::CurrentUser; }
bool IsMachineNumber(std::int32_t number) { return number >= MACHINE_NUMBER_BASE; }

// Reads a string field; a value that cannot be read leaves the field as it was.
void ReadField(const platform::RegistryKey* key, const wchar_t* name, std::wstring& field) {
    if (!key) return;
    if (auto text = platform::ReadString(*key, name, store::kStringCapacity)) field = std::move(*text);
}

// How the connection is protected: "Encryption", a REG_DWORD from 0 to 3 (FTPEncryption). A
// missing value, another type or a number past 3 leaves the default.
void ReadEncryption(const platform::RegistryKey* key, FTPEncryption& field) {
    if (!key) return;
    const auto value = platform::ReadDword(*key, L"Encryption");
    if (value && *value <= static_cast<std::uint32_t>(FTPEncryption::Implicit)) field = static_cast<FTPEncryption>(*value);
}

// The certificate the user chose to trust: "CertificateFingerprint", a REG_SZ with its SHA-256
// fingerprint as certificate viewers print it ("AB:CD:..."), so that an administrator can read
// it, compare it and set it in advance. Text that is no fingerprint reads as none.
void ReadTrustedCertificate(const platform::RegistryKey* key, std::optional<platform::Sha256Fingerprint>& field) {
    if (!key) return;
    if (const auto text = platform::ReadString(*key, L"CertificateFingerprint", store::kStringCapacity))
        field = platform::ParseFingerprint(*text);
}

void WriteTrustedCertificate(platform::RegistryKey& key, const std::optional<platform::Sha256Fingerprint>& field) {
    if (field)
        platform::WriteString(key, L"CertificateFingerprint", platform::FingerprintText(*field));
    else
        key.DeleteValue(L"CertificateFingerprint");
}

}  // namespace

DestinationStore::DestinationStore(Passwords passwords)
    : DestinationStore(platform::SystemRegistry(), platform::SystemDataProtection(), passwords) {}

DestinationStore::DestinationStore(platform::Registry& registry, platform::DataProtection& protection,
                                   Passwords passwords)
    : m_registry(registry), m_protection(protection), m_passwords(passwords) {}

bool DestinationStore::IsPlainPasswordMode() const {
    // Always the user's hive, also for machine-wide destinations.
    const auto options = m_registry.Create(Hive::CurrentUser, kDestinationsPath + L"\\Options", Access::ReadWrite);
    return store::ReadSwitch(options.get(), L"SkipDPAPI");
}

FTPDestination DestinationStore::LoadDestination(const std::wstring& basePath, const std::wstring& keyName,
                                                 bool machineWide) const {
    FTPDestination destination;
    destination.basePath = basePath;
    destination.keyName = keyName;
    destination.number = DestinationNumber(keyName);
    destination.machineWide = machineWide;
    if (basePath.empty() || keyName.empty()) return destination;

    const auto key = m_registry.Create(HiveOf(machineWide), DestinationKeyPath(destination), Access::Read);
    ReadField(key.get(), L"Dispname", destination.displayName);
    ReadField(key.get(), L"Server", destination.server);
    ReadField(key.get(), L"Username", destination.userName);
    ReadField(key.get(), L"Directory", destination.directory);
    destination.port = static_cast<std::uint16_t>(
        store::ReadIntoFourBytes(key.get(), L"Port", destination.port).value_or(destination.port));
    // Set from outside, like the program's switches: no dialog writes it.
    destination.connections =
        store::ReadIntoFourBytes(key.get(), L"Connections", destination.connections).value_or(destination.connections);
    if (key && m_passwords == Passwords::Load) destination.password = ReadPassword(*key);
    ReadEncryption(key.get(), destination.encryption);
    ReadTrustedCertificate(key.get(), destination.trustedCertificate);
    return destination;
}

// A stored password of the other mode's type reads as empty: switching the mode makes every
// password read as empty until its destination is saved again.
std::wstring DestinationStore::ReadPassword(const platform::RegistryKey& key) const {
    if (IsPlainPasswordMode())
        return platform::ReadString(key, L"Password", store::kStringCapacity).value_or(std::wstring());
    const auto blob = platform::ReadBinary(key, L"Password");
    if (!blob || blob->empty()) return {};
    const auto clear = m_protection.Unprotect(*blob);
    if (!clear) return {};
    return platform::FromUtf16Bytes(clear->data(), clear->size() / 2);
}

void DestinationStore::SaveDestination(const FTPDestination& destination) const {
    if (destination.basePath.empty() || destination.keyName.empty()) return;
    const auto key = m_registry.Create(HiveOf(destination.machineWide), DestinationKeyPath(destination),
                                       Access::ReadWrite);
    if (!key) return;
    platform::WriteString(*key, L"Dispname", destination.displayName);
    platform::WriteString(*key, L"Server", destination.server);
    platform::WriteDword(*key, L"Port", destination.port);
    platform::WriteString(*key, L"Username", destination.userName);
    platform::WriteString(*key, L"Directory", destination.directory);
    WritePassword(*key, destination);
    platform::WriteDword(*key, L"Encryption", static_cast<std::uint32_t>(destination.encryption));
    WriteTrustedCertificate(*key, destination.trustedCertificate);
}

// An empty password leaves the stored one alone: the dialogs show no password, and saving
// unchanged fields must not wipe it.
void DestinationStore::WritePassword(platform::RegistryKey& key, const FTPDestination& destination) const {
    if (destination.password.empty()) return;
    if (IsPlainPasswordMode()) {
        platform::WriteString(key, L"Password", destination.password);
        return;
    }
    const std::vector<std::uint8_t> clear = platform::ToUtf16Bytes(destination.password);
    const auto blob = m_protection.Protect(clear, destination.machineWide ? platform::ProtectionScope::Machine
                                                                          : platform::ProtectionScope::User);
    if (blob) platform::WriteBinary(key, L"Password", *blob);
}

void DestinationStore::EnumerateDestinations(std::vector<FTPDestination>& list, bool machineWide) const {
    const auto storeKey = m_registry.Create(HiveOf(machineWide), kDestinationsPath, Access::Read);
    if (!storeKey) return;
    for (const std::wstring& name : storeKey->SubkeyNames()) {
        if (name.size() > kLongestKeyName) break;  // the enumeration fails there
        if (DestinationNumber(name) == 0) continue;  // "Options", and anything not a number
        list.push_back(LoadDestination(kDestinationsPath, name, machineWide));
    }
}

std::vector<FTPDestination> DestinationStore::LoadAllDestinations() const {
    std::vector<FTPDestination> list;
    EnumerateDestinations(list, false);
    EnumerateDestinations(list, true);
    return list;
}

FTPDestination DestinationStore::GetDestination(std::int32_t number) const {
    return LoadDestination(kDestinationsPath, std::to_wstring(number), IsMachineNumber(number));
}

FTPDestination DestinationStore::CreateDestination(bool machineWide) const {
    const auto storeKey = m_registry.Create(HiveOf(machineWide), kDestinationsPath, Access::ReadWrite);
    std::int64_t candidate = machineWide ? MACHINE_NUMBER_BASE : 1;
    if (storeKey) {
        while (candidate < INT32_MAX && storeKey->Open(std::to_wstring(candidate), Access::ReadWrite)) ++candidate;
    }
    return LoadDestination(kDestinationsPath, std::to_wstring(candidate), machineWide);
}

void DestinationStore::RemoveDestination(std::int32_t number) const {
    const auto storeKey = m_registry.Create(HiveOf(IsMachineNumber(number)), kDestinationsPath, Access::ReadWrite);
    if (storeKey) storeKey->DeleteTree(std::to_wstring(number));
    if (GetDefaultDestination() == number) {
        if (const auto userStore = m_registry.Create(Hive::CurrentUser, kDestinationsPath, Access::ReadWrite))
            userStore->DeleteValue(L"");
    }
}

// The default always lives in the user's hive, also when it names a machine-wide destination.
std::int32_t DestinationStore::GetDefaultDestination() const {
    const auto storeKey = m_registry.Create(Hive::CurrentUser, kDestinationsPath, Access::Read);
    return static_cast<std::int32_t>(store::ReadIntoFourBytes(storeKey.get(), L"", 0).value_or(0));
}

void DestinationStore::SetDefaultDestination(std::int32_t number) const {
    if (const auto storeKey = m_registry.Create(Hive::CurrentUser, kDestinationsPath, Access::ReadWrite))
        platform::WriteDword(*storeKey, L"", static_cast<std::uint32_t>(number));
}

std::wstring DestinationKeyPath(const FTPDestination& destination) {
    return destination.basePath + L"\\" + destination.keyName;
}

std::int32_t DestinationNumber(const std::wstring& keyName) {
    std::size_t at = 0;
    while (at < keyName.size() && (keyName[at] == L' ' || (keyName[at] >= L'\t' && keyName[at] <= L'\r'))) ++at;
    bool negative = false;
    if (at < keyName.size() && (keyName[at] == L'+' || keyName[at] == L'-')) negative = keyName[at++] == L'-';
    std::int64_t value = 0;
    for (; at < keyName.size() && keyName[at] >= L'0' && keyName[at] <= L'9'; ++at)
        value = std::min<std::int64_t>(value * 10 + (keyName[at] - L'0'), std::int64_t{INT32_MAX} + 1);
    if (negative) return static_cast<std::int32_t>(-value);  // -2^31 at most, which fits
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, INT32_MAX));
}
