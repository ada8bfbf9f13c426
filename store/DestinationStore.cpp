#include "store/DestinationStore.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/RegistryValues.h"
#include "store/RegistryReads.h"

using platform::Access;
using platform::Hive;

namespace {

constexpr std::size_t kLongestKeyName = 255;  // what a 256-unit enumeration buffer holds

Hive HiveOf(bool machineWide) { return machineWide ? Hive::LocalMachine : Hive::CurrentUser; }
bool IsMachineNumber(std::int32_t number) { return number >= MACHINE_NUMBER_BASE; }

// Wherever only the number is known, it alone picks the hive and the key ("1", never "01"). A
// subkey that these would not reach is no destination of its hive: listing it would offer a
// record whose number leads somewhere else (a user subkey 65536, left by a hand-off to the
// machine-wide destination 65536, would be a nameless copy whose removal deletes the real one).
bool IsReachableKeyName(const std::wstring& name, bool machineWide) {
    const std::int32_t number = DestinationNumber(name);
    return number > 0 && IsMachineNumber(number) == machineWide && name == std::to_wstring(number);
}

// A port is a REG_DWORD from 1 to 65535; anything else (another type, a number that a 16-bit
// field would wrap, 0) gives the default rather than a port nobody entered.
std::uint16_t ReadPort(const platform::RegistryKey* key, std::uint16_t fallback) {
    if (!key) return fallback;
    const auto value = platform::ReadDword(*key, L"Port");
    if (!value || *value == 0 || *value > 0xFFFF) return fallback;
    return static_cast<std::uint16_t>(*value);
}

// Reads a string field; a value that cannot be read leaves the field as it was.
void ReadField(const platform::RegistryKey* key, const wchar_t* name, std::wstring& field) {
    if (!key) return;
    if (auto text = platform::ReadString(*key, name, store::kStringCapacity)) field = std::move(*text);
}

}  // namespace

DestinationStore::DestinationStore()
    : DestinationStore(platform::SystemRegistry(), platform::SystemDataProtection()) {}

DestinationStore::DestinationStore(platform::Registry& registry, platform::DataProtection& protection)
    : m_registry(registry), m_protection(protection) {}

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

    // Opened, not created: a read of a number without a key (a stale default, a hand-off's
    // number) must not leave an empty key behind that every list then shows as a destination.
    const auto key = m_registry.Open(HiveOf(machineWide), DestinationKeyPath(destination), Access::Read);
    ReadField(key.get(), L"Dispname", destination.displayName);
    ReadField(key.get(), L"Server", destination.server);
    ReadField(key.get(), L"Username", destination.userName);
    ReadField(key.get(), L"Directory", destination.directory);
    destination.port = ReadPort(key.get(), destination.port);
    if (key) destination.password = ReadPassword(*key);
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
        if (!IsReachableKeyName(name, machineWide)) continue;  // "Options", "abc", "01", ...
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
    const Hive hive = HiveOf(machineWide);
    // A number is taken when its key exists, whether or not this user may write it: a key that
    // only fails to open for writing still holds somebody's destination.
    const auto storeKey = m_registry.Open(hive, kDestinationsPath, Access::Read);
    // User numbers stay below the machine's: a user key 65536 would be reached in the wrong hive.
    const std::int64_t first = machineWide ? MACHINE_NUMBER_BASE : 1;
    const std::int64_t last = machineWide ? INT32_MAX : MACHINE_NUMBER_BASE - 1;
    for (std::int64_t candidate = first; candidate <= last; ++candidate) {
        const std::wstring keyName = std::to_wstring(candidate);
        if (storeKey && storeKey->Open(keyName, Access::Read)) continue;
        m_registry.Create(hive, kDestinationsPath + L"\\" + keyName, Access::ReadWrite);
        return LoadDestination(kDestinationsPath, keyName, machineWide);
    }
    // Every number is in use: a record with no place, which loads and saves nothing.
    return LoadDestination(kDestinationsPath, L"", machineWide);
}

void DestinationStore::RemoveDestination(std::int32_t number) const {
    const Hive hive = HiveOf(IsMachineNumber(number));
    const std::wstring path = kDestinationsPath + L"\\" + std::to_wstring(number);
    m_registry.DeleteTree(hive, path);
    // A destination that could not be deleted (the machine's hive is read-only for most users)
    // is still there, and stays the default.
    if (m_registry.Open(hive, path, Access::Read)) return;
    if (GetDefaultDestination() == number) {
        if (const auto userStore = m_registry.Create(Hive::CurrentUser, kDestinationsPath, Access::ReadWrite))
            userStore->DeleteValue(L"");
    }
}

// The default always lives in the user's hive, also when it names a machine-wide destination.
// Only a REG_DWORD counts: the bytes of a string "1" would otherwise read as destination 49.
std::int32_t DestinationStore::GetDefaultDestination() const {
    const auto storeKey = m_registry.Create(Hive::CurrentUser, kDestinationsPath, Access::Read);
    if (!storeKey) return 0;
    return static_cast<std::int32_t>(platform::ReadDword(*storeKey, L"").value_or(0));
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
