#include "platform/Folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "platform/posix/Utf8.h"

namespace platform {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

std::vector<FolderEntry> ListFolder(const std::wstring& folder) {
    std::vector<FolderEntry> entries;
    const std::string base = posix::ToUtf8(folder);
    std::unique_ptr<DIR, DirCloser> dir(::opendir(base.c_str()));
    if (!dir) return entries;
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        struct stat own {};
        struct stat target {};
        const std::string full = base + "/" + name;
        if (::lstat(full.c_str(), &own) != 0) continue;  // gone since readdir
        const bool isLink = S_ISLNK(own.st_mode);
        // A link to a folder is a folder entry, as a junction is on Windows.
        const bool isFolder = isLink ? ::stat(full.c_str(), &target) == 0 && S_ISDIR(target.st_mode)
                                     : S_ISDIR(own.st_mode);
        entries.push_back({posix::FromUtf8(name), isFolder, isLink});
    }
    return entries;
}

bool LooksLikeFolder(const std::wstring& path) {
    struct stat status {};
    if (::stat(posix::ToUtf8(path).c_str(), &status) != 0) return true;
    return S_ISDIR(status.st_mode);
}

}  // namespace platform
