#include "OrvaneShellExt/ExtensionRegistration.h"

#include "platform/Folder.h"
#include "platform/RegistryValues.h"

namespace {

RegistryScriptKey KeptKey(std::wstring name, std::vector<RegistryScriptKey> subkeys) {
    RegistryScriptKey key;
    key.name = std::move(name);
    key.noRemove = true;
    key.subkeys = std::move(subkeys);
    return key;
}

// Paths of the class's server key: in the classes root, and in the user's own classes.
const std::pair<platform::Hive, std::wstring> kServerKeys[] = {
    {platform::Hive::ClassesRoot, L"CLSID\\" + kShellExtClsidText + L"\\InprocServer32"},
    {platform::Hive::CurrentUser, L"Software\\Classes\\CLSID\\" + kShellExtClsidText + L"\\InprocServer32"},
};

constexpr std::size_t kLongestPath = 32768;

}  // namespace

RegistryScript PerUserScript(const RegistryScript& script) {
    RegistryScript moved;
    for (const auto& [hive, root] : script.roots) {
        if (hive != platform::Hive::ClassesRoot) {
            moved.roots.emplace_back(hive, root);
            continue;
        }
        RegistryScriptKey user = KeptKey(L"", {KeptKey(L"Software", {KeptKey(L"Classes", root.subkeys)})});
        moved.roots.emplace_back(platform::Hive::CurrentUser, std::move(user));
    }
    return moved;
}

bool RegisterExtension(const RegistryScript& script, platform::Registry& registry) {
    const RegistryScript perUser = PerUserScript(script);
    if (RegisterScript(script, registry)) {
        UnregisterScript(perUser, registry);
        return true;
    }
    UnregisterScript(script, registry);  // whatever of it was written before the refusal
    return RegisterScript(perUser, registry);
}

bool UnregisterExtension(const RegistryScript& script, platform::Registry& registry) {
    const bool machine = UnregisterScript(script, registry);
    const bool user = UnregisterScript(PerUserScript(script), registry);
    return machine && user;
}

bool IsExtensionRegistered(platform::Registry& registry) {
    for (const auto& [hive, path] : kServerKeys) {
        const auto key = registry.Open(hive, path, platform::Access::Read);
        if (!key) continue;
        const auto library = platform::ReadString(*key, L"", kLongestPath);
        if (library && platform::IsFile(*library)) return true;
    }
    return false;
}
