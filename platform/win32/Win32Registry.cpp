#include <windows.h>

#include <utility>

#include "platform/Registry.h"

namespace platform {

namespace {

// Owns an HKEY from RegOpenKeyExW or RegCreateKeyExW. The predefined root keys are borrowed,
// never closed.
class UniqueKey {
public:
    UniqueKey() = default;
    UniqueKey(HKEY key, bool owned) : m_key(key), m_owned(owned) {}
    UniqueKey(UniqueKey&& other) noexcept
        : m_key(std::exchange(other.m_key, nullptr)), m_owned(std::exchange(other.m_owned, false)) {}
    UniqueKey& operator=(UniqueKey&& other) noexcept {
        if (this != &other) {
            Reset();
            m_key = std::exchange(other.m_key, nullptr);
            m_owned = std::exchange(other.m_owned, false);
        }
        return *this;
    }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;
    ~UniqueKey() { Reset(); }

    HKEY Get() const { return m_key; }

private:
    void Reset() {
        if (m_key && m_owned) ::RegCloseKey(m_key);
        m_key = nullptr;
        m_owned = false;
    }

    HKEY m_key = nullptr;
    bool m_owned = false;
};

REGSAM AccessMask(Access access) {
    return access == Access::ReadWrite ? KEY_READ | KEY_WRITE : KEY_READ;  // 0x2001F, 0x20019
}

// A value may change between the size query and the read; a few rounds settle it.
constexpr int kReadAttempts = 4;
// Key names are at most 255 characters; value names at most 16383.
constexpr DWORD kKeyNameUnits = 256;
constexpr DWORD kValueNameUnits = 16384;

class Win32Key final : public RegistryKey {
public:
    explicit Win32Key(UniqueKey key) : m_key(std::move(key)) {}

    std::optional<RegistryValue> Read(const std::wstring& name) const override {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(m_key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
            RegistryValue value;
            value.data.resize(size);
            DWORD got = size;
            const LSTATUS status = ::RegQueryValueExW(m_key.Get(), name.c_str(), nullptr, &type,
                                                      size ? value.data.data() : nullptr, &got);
            if (status == ERROR_SUCCESS) {
                value.type = type;
                value.data.resize(got < size ? got : size);
                return value;
            }
            if (status != ERROR_MORE_DATA) return std::nullopt;
            size = got;
        }
        return std::nullopt;
    }

    bool Write(const std::wstring& name, const RegistryValue& value) override {
        return ::RegSetValueExW(m_key.Get(), name.c_str(), 0, value.type,
                                value.data.empty() ? nullptr : value.data.data(),
                                static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
    }

    bool DeleteValue(const std::wstring& name) override {
        return ::RegDeleteValueW(m_key.Get(), name.c_str()) == ERROR_SUCCESS;
    }

    std::vector<std::wstring> SubkeyNames() const override {
        std::vector<std::wstring> names;
        wchar_t buffer[kKeyNameUnits];
        for (DWORD index = 0;; ++index) {
            DWORD length = kKeyNameUnits;
            if (::RegEnumKeyExW(m_key.Get(), index, buffer, &length, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS)
                break;  // the end of the list, or a key that vanished meanwhile
            names.emplace_back(buffer, length);
        }
        return names;
    }

    std::vector<std::wstring> ValueNames() const override {
        std::vector<std::wstring> names;
        std::wstring buffer(kValueNameUnits, L'\0');
        for (DWORD index = 0;; ++index) {
            DWORD length = kValueNameUnits;
            if (::RegEnumValueW(m_key.Get(), index, buffer.data(), &length, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(buffer.data(), length);
        }
        return names;
    }

    std::unique_ptr<RegistryKey> Open(const std::wstring& subPath, Access access) const override {
        HKEY opened = nullptr;
        if (::RegOpenKeyExW(m_key.Get(), subPath.c_str(), 0, AccessMask(access), &opened) != ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<Win32Key>(UniqueKey(opened, true));
    }

    std::unique_ptr<RegistryKey> Create(const std::wstring& subPath, Access access) override {
        HKEY created = nullptr;
        if (::RegCreateKeyExW(m_key.Get(), subPath.c_str(), 0, nullptr, 0, AccessMask(access), nullptr,
                              &created, nullptr) != ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<Win32Key>(UniqueKey(created, true));
    }

    bool DeleteTree(const std::wstring& subPath) override {
        // With no subkey named, RegDeleteTreeW empties this key but keeps it.
        return ::RegDeleteTreeW(m_key.Get(), subPath.empty() ? nullptr : subPath.c_str()) == ERROR_SUCCESS;
    }

private:
    UniqueKey m_key;
};

class Win32Registry final : public Registry {
public:
    std::unique_ptr<RegistryKey> Root(Hive hive) override {
        switch (hive) {
        case Hive::CurrentUser: return Borrow(HKEY_CURRENT_USER);
        case Hive::LocalMachine: return Borrow(HKEY_LOCAL_MACHINE);
        case Hive::ClassesRoot: return Borrow(HKEY_CLASSES_ROOT);
        }
        return nullptr;
    }

private:
    static std::unique_ptr<RegistryKey> Borrow(HKEY root) {
        return std::make_unique<Win32Key>(UniqueKey(root, false));
    }
};

}  // namespace

Registry& SystemRegistry() {
    static Win32Registry registry;
    return registry;
}

}  // namespace platform
