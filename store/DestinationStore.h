#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DataProtection.h"
#include "platform/Registry.h"
#include "store/FTPSettings.h"

// The store key, the same in the user's and the machine's hive.
inline const std::wstring kDestinationsPath = L"Software\\Telmora\\FTPDestinations";

// Whether loads read the password. The shell extension only lists names and numbers inside the
// file manager's process, which must never hold a clear password: it skips them.
enum class Passwords { Load, Skip };

// The user's FTP destinations in the registry. Holds no state: every operation opens its keys,
// does its work and closes them, so that the uploader and any number of file-manager processes
// can use the store at once. Nothing is reported: a failed read leaves the default, a failed
// write is skipped.
class DestinationStore {
public:
    // The process's registry and data protection.
    explicit DestinationStore(Passwords passwords = Passwords::Load);
    DestinationStore(platform::Registry& registry, platform::DataProtection& protection,
                     Passwords passwords = Passwords::Load);

    FTPDestination LoadDestination(const std::wstring& basePath, const std::wstring& keyName,
                                   bool machineWide) const;
    void SaveDestination(const FTPDestination& destination) const;
    void EnumerateDestinations(std::vector<FTPDestination>& list, bool machineWide) const;
    // User destinations first, then machine-wide ones.
    std::vector<FTPDestination> LoadAllDestinations() const;
    // A number without a key still gives a record: defaults, and the key created on the way.
    FTPDestination GetDestination(std::int32_t number) const;
    // Takes the lowest free number of the hive; its key exists afterwards.
    FTPDestination CreateDestination(bool machineWide) const;
    // Deletes the destination's key with everything below it, and the default mark if it was
    // the default.
    void RemoveDestination(std::int32_t number) const;
    std::int32_t GetDefaultDestination() const;  // 0 when none
    void SetDefaultDestination(std::int32_t number) const;
    // Passwords in clear text ("SkipDPAPI") instead of protected.
    bool IsPlainPasswordMode() const;

private:
    std::wstring ReadPassword(const platform::RegistryKey& key) const;
    void WritePassword(platform::RegistryKey& key, const FTPDestination& destination) const;

    platform::Registry& m_registry;
    platform::DataProtection& m_protection;
    Passwords m_passwords;
};

// basePath\keyName: where the destination's key and its hand-off keys live.
std::wstring DestinationKeyPath(const FTPDestination& destination);

// A subkey name read as a destination number, as wcstol reads it in base 10 with a 32-bit long:
// leading blanks, an optional sign, digits up to the first non-digit; out-of-range values clamp.
// 0 means the subkey is not a destination.
std::int32_t DestinationNumber(const std::wstring& keyName);
