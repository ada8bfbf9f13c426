#include "platform/File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ErrorCodes.h"
#include "platform/posix/ErrnoMapping.h"
#include "platform/posix/Utf8.h"

// Windows refuses to open a file for reading, shared for reading only, while another handle has
// it open for writing, and the other way round. POSIX has no share modes, so each open takes an
// advisory flock(): shared for a reader, exclusive for a writer. That refuses the same opens
// between users of this code; programs that take no locks are not seen.

namespace platform {

namespace {

int Fd(const File& file) { return static_cast<int>(file.Native()); }

[[noreturn]] void ThrowErrno() { throw posix::WindowsErrorFromErrno(errno); }

// Windows says "path not found" (3) when a folder on the way is missing, and "file not found"
// (2) only when the folder is there; open() says ENOENT for both.
[[noreturn]] void ThrowMissing(const std::string& path) {
    auto slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct stat info {};
    bool folderThere = ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    throw folderThere ? kErrorFileNotFound : kErrorPathNotFound;
}

void Lock(const File& file, int mode) {
    while (::flock(Fd(file), mode | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) throw kErrorSharingViolation;
        if (errno == ENOLCK || errno == EINVAL || errno == ENOSYS) return;  // no locks here
        ThrowErrno();
    }
}

}  // namespace

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_native = other.m_native;
        other.m_native = -1;
    }
    return *this;
}

void File::Close() {
    if (m_native == -1) return;
    ::close(Fd(*this));
    m_native = -1;
}

File CreateForWriting(const std::wstring& path) {
    const std::string name = posix::ToUtf8(path);
    // No O_TRUNC: the file is emptied only once the lock shows that no reader holds it.
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == ENOENT) throw kErrorPathNotFound;  // with O_CREAT only the folder can be missing
        ThrowErrno();
    }
    File file(fd);
    Lock(file, LOCK_EX);
    if (::ftruncate(fd, 0) != 0) ThrowErrno();
    return file;
}

File OpenForReading(const std::wstring& path) {
    const std::string name = posix::ToUtf8(path);
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) ThrowMissing(name);
        ThrowErrno();
    }
    File file(fd);
    // A folder opens on POSIX; CreateFileW refuses it with "access denied".
    struct stat info {};
    if (::fstat(fd, &info) != 0) ThrowErrno();
    if (S_ISDIR(info.st_mode)) throw kErrorAccessDenied;
    Lock(file, LOCK_SH);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

void WriteAll(File& file, std::span<const char> data) {
    while (!data.empty()) {
        ssize_t written = ::write(Fd(file), data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            ThrowErrno();
        }
        data = data.subspan(static_cast<std::size_t>(written));
    }
}

std::size_t Read(File& file, std::span<char> into) {
    for (;;) {
        ssize_t got = ::read(Fd(file), into.data(), into.size());
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) ThrowErrno();
    }
}

std::uint64_t SizeOf(const File& file) {
    struct stat info {};
    if (::fstat(Fd(file), &info) != 0) ThrowErrno();
    return static_cast<std::uint64_t>(info.st_size);
}

std::int64_t LastWriteTime(const File& file) {
    struct stat info {};
    if (::fstat(Fd(file), &info) != 0) ThrowErrno();
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

void Seek(File& file, std::uint64_t offset) {
    if (::lseek(Fd(file), static_cast<off_t>(offset), SEEK_SET) < 0) ThrowErrno();
}

}  // namespace platform
