#include "platform/Folder.h"

#include "platform/win32/Unique.h"

namespace platform {

std::vector<FolderEntry> ListFolder(const std::wstring& folder) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW data{};
    win32::UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return entries;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (::FindNextFileW(find.Get(), &data));
    return entries;
}

bool LooksLikeFolder(const std::wstring& path) {
    // INVALID_FILE_ATTRIBUTES is all ones, so it has the folder bit too.
    return (::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace platform
