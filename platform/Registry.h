#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class Hive { CurrentUser, LocalMachine, ClassesRoot };
enum class Access { Read, ReadWrite };

// The registry's own type numbers (REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD). A value read
// back carries whatever type number is stored, known or not.
namespace RegistryType {
inline constexpr std::uint32_t kString = 1;
inline constexpr std::uint32_t kExpandString = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
}  // namespace RegistryType

struct RegistryValue {
    std::uint32_t type = RegistryType::kBinary;
    std::vector<std::uint8_t> data;  // raw bytes as stored; strings are UTF-16LE
};

// An open key. Paths below a key use backslashes. Names compare without regard to case.
// Nothing here throws: a failed read is nullopt or empty, a failed write returns false.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    virtual std::optional<RegistryValue> Read(const std::wstring& name) const = 0;
    virtual bool Write(const std::wstring& name, const RegistryValue& value) = 0;
    virtual bool DeleteValue(const std::wstring& name) = 0;
    // Subkey names in the registry's enumeration order (sorted without regard to case).
    virtual std::vector<std::wstring> SubkeyNames() const = 0;
    // Value names in the registry's enumeration order (the order they were first written).
    virtual std::vector<std::wstring> ValueNames() const = 0;
    // Null when the subkey is missing or cannot be opened with `access`.
    virtual std::unique_ptr<RegistryKey> Open(const std::wstring& subPath, Access access) const = 0;
    // Opens or creates the subkey and every missing key above it, asking for `access` on it;
    // null on failure (an existing key that `access` is not granted on, as for Open).
    virtual std::unique_ptr<RegistryKey> Create(const std::wstring& subPath, Access access) = 0;
    std::unique_ptr<RegistryKey> Create(const std::wstring& subPath) {
        return Create(subPath, Access::ReadWrite);
    }
    // Deletes the subkey and everything below it; false when it could not.
    virtual bool DeleteTree(const std::wstring& subPath) = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    virtual std::unique_ptr<RegistryKey> Root(Hive hive) = 0;

    std::unique_ptr<RegistryKey> Open(Hive hive, const std::wstring& path, Access access);
    std::unique_ptr<RegistryKey> Create(Hive hive, const std::wstring& path,
                                        Access access = Access::ReadWrite);
    bool DeleteTree(Hive hive, const std::wstring& path);
};

// The process's registry: the real one on Windows; off Windows a process-wide in-memory tree
// that tests fill as they need.
Registry& SystemRegistry();

}  // namespace platform
