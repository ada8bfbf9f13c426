#pragma once
#include <string>
#include <vector>

namespace platform {

// What joins the components of a local path.
#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

struct FolderEntry {
    std::wstring name;
    bool isFolder = false;
    // A symbolic link or a junction: what it names may contain us, so a walk must not enter it.
    // Other reparse points (cloud placeholders, deduplicated folders) are ordinary entries.
    bool isLink = false;
};

// The entries of `folder` in the file system's order, hidden and system ones included, without
// "." and "..". Throws int (3 gone, 5 access denied, ...) when the folder cannot be listed, so
// that a folder nobody can read is never taken for an empty one.
std::vector<FolderEntry> ListFolder(const std::wstring& folder);

// True when `path` is a folder, and also when its attributes cannot be read at all.
bool LooksLikeFolder(const std::wstring& path);

// True only when `path` names something that exists and is not a folder.
bool IsFile(const std::wstring& path);

}  // namespace platform
