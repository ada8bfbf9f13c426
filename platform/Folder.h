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
    bool isLink = false;  // a reparse point (junction, symbolic link): what it points to may contain us
};

// The entries of `folder` in the file system's order, hidden and system ones included, without
// "." and "..". Empty when the folder cannot be listed.
std::vector<FolderEntry> ListFolder(const std::wstring& folder);

// True when `path` is a folder, and also when its attributes cannot be read at all.
bool LooksLikeFolder(const std::wstring& path);

}  // namespace platform
