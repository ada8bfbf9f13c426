#include "platform/Registry.h"

namespace platform {

std::unique_ptr<RegistryKey> Registry::Open(Hive hive, const std::wstring& path, Access access) {
    const auto root = Root(hive);
    return root ? root->Open(path, access) : nullptr;
}

std::unique_ptr<RegistryKey> Registry::Create(Hive hive, const std::wstring& path, Access access) {
    const auto root = Root(hive);
    return root ? root->Create(path, access) : nullptr;
}

bool Registry::DeleteTree(Hive hive, const std::wstring& path) {
    const auto root = Root(hive);
    return root && root->DeleteTree(path);
}

}  // namespace platform
