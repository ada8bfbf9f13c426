#include "platform/memory/MemoryRegistry.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <map>
#include <mutex>
#include <utility>

namespace platform {

namespace {

constexpr std::size_t kMaxKeyNameLength = 255;

wchar_t FoldCase(wchar_t c) {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
    if (c < 0x80) return c;
    return static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
}

int CompareNoCase(const std::wstring& a, const std::wstring& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t x = FoldCase(a[i]);
        const wchar_t y = FoldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return CompareNoCase(a, b) < 0; }
};

struct Node {
    // The map's key keeps the case the subkey was created with.
    std::map<std::wstring, std::shared_ptr<Node>, NoCaseLess> subkeys;
    std::vector<std::pair<std::wstring, RegistryValue>> values;  // in the order first written
    bool deleted = false;

    std::vector<std::pair<std::wstring, RegistryValue>>::iterator FindValue(const std::wstring& name) {
        return std::find_if(values.begin(), values.end(),
                            [&](const auto& entry) { return CompareNoCase(entry.first, name) == 0; });
    }
};

void MarkDeleted(Node& node) {
    node.deleted = true;
    for (auto& [name, child] : node.subkeys) MarkDeleted(*child);
    node.subkeys.clear();
    node.values.clear();
}

// Splits at backslashes. An empty path names the key itself; an empty component (a leading or
// doubled backslash) or an over-long one makes the path unusable. One trailing backslash is
// tolerated, as the real registry does.
bool SplitPath(const std::wstring& path, std::vector<std::wstring>& parts) {
    parts.clear();
    if (path.empty()) return true;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        if (end == path.size() && start == end && !parts.empty()) break;  // trailing backslash
        if (end == start || end - start > kMaxKeyNameLength) return false;
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

}  // namespace

struct MemoryRegistry::State {
    std::mutex mutex;
    std::array<std::shared_ptr<Node>, 3> roots;
    std::array<bool, 3> writable{true, true, true};

    State() {
        for (auto& root : roots) root = std::make_shared<Node>();
    }
};

namespace {

std::size_t HiveIndex(Hive hive) { return static_cast<std::size_t>(hive); }

class MemoryKey final : public RegistryKey {
public:
    MemoryKey(std::shared_ptr<MemoryRegistry::State> state, std::shared_ptr<Node> node, Hive hive,
              Access access)
        : m_state(std::move(state)), m_node(std::move(node)), m_hive(hive), m_access(access) {}

    std::optional<RegistryValue> Read(const std::wstring& name) const override {
        std::lock_guard lock(m_state->mutex);
        if (m_node->deleted) return std::nullopt;
        const auto it = m_node->FindValue(name);
        if (it == m_node->values.end()) return std::nullopt;
        return it->second;
    }

    bool Write(const std::wstring& name, const RegistryValue& value) override {
        std::lock_guard lock(m_state->mutex);
        if (!MayWrite()) return false;
        const auto it = m_node->FindValue(name);
        if (it != m_node->values.end())
            it->second = value;  // keeps its place and the case of its first name
        else
            m_node->values.emplace_back(name, value);
        return true;
    }

    bool DeleteValue(const std::wstring& name) override {
        std::lock_guard lock(m_state->mutex);
        if (!MayWrite()) return false;
        const auto it = m_node->FindValue(name);
        if (it == m_node->values.end()) return false;
        m_node->values.erase(it);
        return true;
    }

    std::vector<std::wstring> SubkeyNames() const override {
        std::lock_guard lock(m_state->mutex);
        std::vector<std::wstring> names;
        if (m_node->deleted) return names;
        for (const auto& [name, child] : m_node->subkeys) names.push_back(name);
        return names;
    }

    std::vector<std::wstring> ValueNames() const override {
        std::lock_guard lock(m_state->mutex);
        std::vector<std::wstring> names;
        if (m_node->deleted) return names;
        for (const auto& [name, value] : m_node->values) names.push_back(name);
        return names;
    }

    std::unique_ptr<RegistryKey> Open(const std::wstring& subPath, Access access) const override {
        std::lock_guard lock(m_state->mutex);
        std::vector<std::wstring> parts;
        if (m_node->deleted || !SplitPath(subPath, parts) || !Granted(access)) return nullptr;
        std::shared_ptr<Node> node = m_node;
        for (const auto& part : parts) {
            const auto it = node->subkeys.find(part);
            if (it == node->subkeys.end()) return nullptr;
            node = it->second;
        }
        return std::make_unique<MemoryKey>(m_state, node, m_hive, access);
    }

    std::unique_ptr<RegistryKey> Create(const std::wstring& subPath, Access access) override {
        std::lock_guard lock(m_state->mutex);
        std::vector<std::wstring> parts;
        if (m_node->deleted || !SplitPath(subPath, parts) || !Granted(access)) return nullptr;
        // Find how much exists first, so that a refused creation leaves nothing behind.
        std::shared_ptr<Node> node = m_node;
        std::size_t existing = 0;
        for (; existing < parts.size(); ++existing) {
            const auto it = node->subkeys.find(parts[existing]);
            if (it == node->subkeys.end()) break;
            node = it->second;
        }
        if (existing < parts.size()) {
            // As in the real registry, creating depends on the key's permissions (here: the
            // hive's), not on the access the parent handle was opened with.
            if (!HiveWritable()) return nullptr;
            for (std::size_t i = existing; i < parts.size(); ++i) {
                auto child = std::make_shared<Node>();
                node->subkeys.emplace(parts[i], child);
                node = std::move(child);
            }
        }
        return std::make_unique<MemoryKey>(m_state, node, m_hive, access);
    }

    bool DeleteTree(const std::wstring& subPath) override {
        std::lock_guard lock(m_state->mutex);
        std::vector<std::wstring> parts;
        if (!MayWrite() || !SplitPath(subPath, parts)) return false;
        if (parts.empty()) {  // no subkey named: empty this key but keep it
            for (auto& [name, child] : m_node->subkeys) MarkDeleted(*child);
            m_node->subkeys.clear();
            m_node->values.clear();
            return true;
        }
        std::shared_ptr<Node> parent = m_node;
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            const auto it = parent->subkeys.find(parts[i]);
            if (it == parent->subkeys.end()) return false;
            parent = it->second;
        }
        const auto it = parent->subkeys.find(parts.back());
        if (it == parent->subkeys.end()) return false;
        MarkDeleted(*it->second);
        parent->subkeys.erase(it);
        return true;
    }

private:
    bool HiveWritable() const { return m_state->writable[HiveIndex(m_hive)]; }
    bool Granted(Access access) const { return access == Access::Read || HiveWritable(); }
    bool MayWrite() const { return !m_node->deleted && m_access == Access::ReadWrite && HiveWritable(); }

    std::shared_ptr<MemoryRegistry::State> m_state;
    std::shared_ptr<Node> m_node;
    Hive m_hive;
    Access m_access;
};

}  // namespace

MemoryRegistry::MemoryRegistry() : m_state(std::make_shared<State>()) {}

MemoryRegistry::~MemoryRegistry() = default;

std::unique_ptr<RegistryKey> MemoryRegistry::Root(Hive hive) {
    std::lock_guard lock(m_state->mutex);
    const std::size_t index = HiveIndex(hive);
    if (index >= m_state->roots.size()) return nullptr;
    // Like the predefined handles: the hive's root, with whatever the caller may do there.
    return std::make_unique<MemoryKey>(m_state, m_state->roots[index], hive,
                                       m_state->writable[index] ? Access::ReadWrite : Access::Read);
}

void MemoryRegistry::SetWritable(Hive hive, bool writable) {
    std::lock_guard lock(m_state->mutex);
    const std::size_t index = HiveIndex(hive);
    if (index < m_state->writable.size()) m_state->writable[index] = writable;
}

void MemoryRegistry::Clear() {
    std::lock_guard lock(m_state->mutex);
    for (auto& root : m_state->roots) {
        MarkDeleted(*root);
        root = std::make_shared<Node>();
    }
}

}  // namespace platform
