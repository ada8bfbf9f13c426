#include "OrvaneShellExt/HandOffWriter.h"

#include "platform/Folder.h"
#include "platform/RegistryValues.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"

namespace {

// The text after the last separator: the item's own name.
std::wstring LastComponent(const std::wstring& path) {
    const std::size_t separator = path.rfind(platform::kPathSeparator);
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// The path up to, not including, its last separator; empty when it has none.
std::wstring ParentOf(const std::wstring& path) {
    const std::size_t separator = path.rfind(platform::kPathSeparator);
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

}  // namespace

std::optional<platform::GuidBytes> WriteHandOffKey(const FTPDestination& destination,
                                                   const std::vector<std::wstring>& paths,
                                                   platform::Registry& registry) {
    if (paths.empty()) return std::nullopt;
    platform::GuidBytes guid;
    try {
        guid = platform::NewGuid();
    } catch (int) {
        return std::nullopt;
    }
    auto handOff = registry.Create(platform::Hive::CurrentUser, HandOffKeyPath(destination, GuidText(guid)));
    if (!handOff) return std::nullopt;

    const bool smart = paths.size() == 1 && platform::LooksLikeFolder(paths.front()) && IsSmartContextMenu(registry);
    platform::WriteString(*handOff, L"", smart ? paths.front() : ParentOf(paths.front()));
    for (const std::wstring& path : paths) {
        if (smart) {
            AddFolderContents(*handOff, path);
        } else if (platform::LooksLikeFolder(path)) {
            if (auto folder = handOff->Create(LastComponent(path))) AddFolderContents(*folder, path);
        } else {
            platform::WriteString(*handOff, LastComponent(path), path);
        }
    }
    return guid;
}

void AddFolderContents(platform::RegistryKey& key, const std::wstring& folder) {
    for (const platform::FolderEntry& entry : platform::ListFolder(folder)) {
        const std::wstring full = folder + platform::kPathSeparator + entry.name;
        if (!entry.isFolder) {
            platform::WriteString(key, entry.name, full);
            continue;
        }
        auto subkey = key.Create(entry.name);
        if (subkey && !entry.isLink) AddFolderContents(*subkey, full);
    }
}
