#include "OrvaneShellExt/HandOffWriter.h"

#include <algorithm>

#include "platform/Folder.h"
#include "platform/RegistryValues.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"

namespace {

using Components = std::vector<std::wstring>;

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

Components Split(const std::wstring& path) {
    Components parts;
    std::size_t start = 0;
    for (std::size_t end; (end = path.find(platform::kPathSeparator, start)) != std::wstring::npos; start = end + 1)
        parts.push_back(path.substr(start, end - start));
    parts.push_back(path.substr(start));
    return parts;
}

std::wstring Join(const Components& parts, std::size_t first, std::size_t count, wchar_t separator) {
    std::wstring text;
    for (std::size_t i = first; i < first + count; ++i) {
        if (i > first) text += separator;
        text += parts[i];
    }
    return text;
}

// How many leading components name the place a path lives on: a share "\\server\share" takes
// four (two empty ones, the server, the share), a drive "C:" one, as does the empty one before
// the first "/" of a POSIX path.
std::size_t RootLength(const Components& parts) {
    return parts.size() >= 2 && parts[0].empty() && parts[1].empty() ? 4 : 1;
}

// One walk's count of the files and folders it has written, against the hand-off's bound.
struct Walk {
    std::size_t items = 0;
    std::size_t maxItems = kMaxHandOffItems;
    bool Full() const { return items > maxItems; }
    bool Take() { return ++items <= maxItems; }  // false once the bound is passed
};

void AddFolderContents(platform::RegistryKey& key, const std::wstring& folder, Walk& walk);

void AddEntries(platform::RegistryKey& key, const std::wstring& folder,
                const std::vector<platform::FolderEntry>& entries, Walk& walk) {
    for (const platform::FolderEntry& entry : entries) {
        if (!walk.Take()) return;
        const std::wstring full = folder + platform::kPathSeparator + entry.name;
        if (!entry.isFolder) {
            platform::WriteString(key, entry.name, full);
            continue;
        }
        auto subkey = key.Create(entry.name);
        if (subkey && !entry.isLink) AddFolderContents(*subkey, full, walk);
    }
}

void AddFolderContents(platform::RegistryKey& key, const std::wstring& folder, Walk& walk) {
    std::vector<platform::FolderEntry> entries;
    try {
        entries = platform::ListFolder(folder);
    } catch (int) {
        platform::WriteString(key, L"", folder);
        return;
    }
    AddEntries(key, folder, entries, walk);
}

// The smart selection: the one folder is the base and its contents go straight into the key.
// False when it cannot be listed; it is then handed off as an ordinary selected folder, whose
// own key says that it could not be read.
bool AddSmartFolder(platform::RegistryKey& handOff, const std::wstring& folder, Walk& walk) {
    std::vector<platform::FolderEntry> entries;
    try {
        entries = platform::ListFolder(folder);
    } catch (int) {
        return false;
    }
    platform::WriteString(handOff, L"", folder);
    AddEntries(handOff, folder, entries, walk);
    return true;
}

// Every selected item below the base folder, each under the subkeys of its own folder.
void AddSelection(platform::RegistryKey& handOff, const std::wstring& base, const std::vector<std::wstring>& paths,
                  Walk& walk) {
    platform::WriteString(handOff, L"", base);
    const std::size_t baseLength = Split(base).size();
    for (const std::wstring& path : paths) {
        if (!walk.Take()) return;
        // The item's folder below the base, as subkey names; none for items of the base itself.
        const Components folder = Split(ParentOf(path));
        const std::wstring relative = Join(folder, baseLength, folder.size() - baseLength, L'\\');
        std::unique_ptr<platform::RegistryKey> relativeKey = relative.empty() ? nullptr : handOff.Create(relative);
        platform::RegistryKey* parent = relative.empty() ? &handOff : relativeKey.get();
        if (!parent) continue;
        if (platform::LooksLikeFolder(path)) {
            if (auto subkey = parent->Create(LastComponent(path))) AddFolderContents(*subkey, path, walk);
        } else {
            platform::WriteString(*parent, LastComponent(path), path);
        }
    }
}

}  // namespace

std::optional<std::wstring> CommonParentFolder(const std::vector<std::wstring>& paths) {
    if (paths.empty()) return std::nullopt;
    if (paths.size() == 1) return ParentOf(paths.front());
    const Components first = Split(ParentOf(paths.front()));
    std::size_t shared = first.size();
    for (const std::wstring& path : paths) {
        const Components parts = Split(ParentOf(path));
        std::size_t same = 0;
        while (same < shared && same < parts.size() && parts[same] == first[same]) ++same;
        shared = same;
    }
    if (shared < RootLength(first)) return std::nullopt;
    return Join(first, 0, shared, platform::kPathSeparator);
}

bool IsVolumeRoot(const std::wstring& path) {
    std::wstring trimmed = path;
    while (!trimmed.empty() && trimmed.back() == platform::kPathSeparator) trimmed.pop_back();
    const Components parts = Split(trimmed);
    if (RootLength(parts) == 4) return parts.size() <= 4;
    return parts.size() == 1 && (parts[0].empty() || parts[0].back() == L':');
}

HandOffKeyResult WriteHandOffKey(const FTPDestination& destination, const std::vector<std::wstring>& paths,
                                 platform::Registry& registry, std::size_t maxItems) {
    if (std::any_of(paths.begin(), paths.end(), IsVolumeRoot)) return {HandOffKeyStatus::DriveRoot};
    const std::optional<std::wstring> base = CommonParentFolder(paths);
    if (!base) return {HandOffKeyStatus::NoCommonFolder};
    HandOffKeyResult result{HandOffKeyStatus::Written};
    try {
        result.guid = platform::NewGuid();
    } catch (int) {
        return {HandOffKeyStatus::NotWritten};
    }
    const std::wstring keyPath = HandOffKeyPath(destination, GuidText(result.guid));
    {
        auto handOff = registry.Create(platform::Hive::CurrentUser, keyPath);
        if (!handOff) return {HandOffKeyStatus::NotWritten};
        Walk walk{0, maxItems};
        const bool smart =
            paths.size() == 1 && platform::LooksLikeFolder(paths.front()) && IsSmartContextMenu(registry);
        if (!smart || !AddSmartFolder(*handOff, paths.front(), walk)) AddSelection(*handOff, *base, paths, walk);
        if (!walk.Full()) return result;
    }
    registry.DeleteTree(platform::Hive::CurrentUser, keyPath);
    return {HandOffKeyStatus::TooManyItems};
}
