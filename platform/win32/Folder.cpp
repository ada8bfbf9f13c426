#include "platform/Folder.h"

#include "platform/win32/FindData.h"
#include "platform/win32/LongPath.h"
#include "platform/win32/Unique.h"

namespace platform {

namespace win32 {

FolderEntry EntryOf(const WIN32_FIND_DATAW& data) {
    FolderEntry entry{data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, false};
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The record carries the reparse tag. Only these two name another place; the rest
        // (cloud placeholders, deduplicated folders) hold their own contents. Wine shows a Unix
        // symbolic link as a reparse point with no tag at all, which no real tag is.
        const DWORD tag = data.dwReserved0;
        entry.isLink = tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT || tag == 0;
    }
    return entry;
}

}  // namespace win32

namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(win32::LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::wstring& folder) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW data{};
    std::wstring pattern = win32::LongPath(folder);
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';  // a drive's root keeps its own
    pattern += L'*';
    win32::UniqueFind find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find) {
        const DWORD error = ::GetLastError();
        // Only a drive's root lacks "." and "..": nothing at all matches in an empty one.
        if (error == ERROR_FILE_NOT_FOUND && IsFolder(folder)) return entries;
        throw static_cast<int>(error);
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        entries.push_back(win32::EntryOf(data));
    } while (::FindNextFileW(find.Get(), &data));
    // A listing cut short is not the whole folder.
    if (const DWORD error = ::GetLastError(); error != ERROR_NO_MORE_FILES) throw static_cast<int>(error);
    return entries;
}

bool LooksLikeFolder(const std::wstring& path) {
    // INVALID_FILE_ATTRIBUTES is all ones, so it has the folder bit too.
    return (::GetFileAttributesW(win32::LongPath(path).c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(win32::LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace platform
