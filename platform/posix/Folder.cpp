#include "platform/Folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "platform/ErrorCodes.h"
#include "platform/posix/ErrnoMapping.h"
#include "platform/posix/Utf8.h"

namespace platform {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// As FindFirstFileW says it: a missing folder is "path not found".
[[noreturn]] void ThrowListError(int error) {
    throw error == ENOENT ? kErrorPathNotFound : posix::WindowsErrorFromErrno(error);
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::wstring& folder) {
    std::vector<FolderEntry> entries;
    const std::string base = posix::ToUtf8(folder);
    std::unique_ptr<DIR, DirCloser> dir(::opendir(base.c_str()));
    if (!dir) ThrowListError(errno);
    for (;;) {
        errno = 0;
        const dirent* item = ::readdir(dir.get());
        if (!item) {
            if (errno != 0) ThrowListError(errno);  // a listing cut short is not the whole folder
            return entries;
        }
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        struct stat own {};
        struct stat target {};
        const std::string full = base + "/" + name;
        if (::lstat(full.c_str(), &own) != 0) {
            // Gone since readdir: listed as what readdir saw, so that its loss shows up later
            // as an item that cannot be read, as on Windows, where the listing is one snapshot.
            entries.push_back({posix::FromUtf8(name), item->d_type == DT_DIR, false});
            continue;
        }
        const bool isLink = S_ISLNK(own.st_mode);
        // A link to a folder is a folder entry, as a junction is on Windows.
        const bool isFolder = isLink ? ::stat(full.c_str(), &target) == 0 && S_ISDIR(target.st_mode)
                                     : S_ISDIR(own.st_mode);
        entries.push_back({posix::FromUtf8(name), isFolder, isLink});
    }
}

bool LooksLikeFolder(const std::wstring& path) {
    struct stat status {};
    if (::stat(posix::ToUtf8(path).c_str(), &status) != 0) return true;
    return S_ISDIR(status.st_mode);
}

bool IsFile(const std::wstring& path) {
    struct stat status {};
    return ::stat(posix::ToUtf8(path).c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

}  // namespace platform
