#include "platform/File.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/win32/LongPath.h"
#include "platform/win32/Unique.h"

namespace platform {

namespace {

constexpr DWORD kLargestChunk = 1UL << 30;  // ReadFile and WriteFile take 32-bit lengths

HANDLE Handle(const File& file) { return reinterpret_cast<HANDLE>(file.Native()); }

[[noreturn]] void ThrowLastError() { throw static_cast<int>(::GetLastError()); }

File Open(const std::wstring& path, DWORD access, DWORD disposition, DWORD flags) {
    win32::UniqueFile handle(
        ::CreateFileW(win32::LongPath(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr));
    if (!handle) ThrowLastError();
    return File(reinterpret_cast<std::intptr_t>(handle.Release()));
}

}  // namespace

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_native = std::exchange(other.m_native, -1);
    }
    return *this;
}

void File::Close() {
    if (m_native == -1) return;
    win32::UniqueFile(reinterpret_cast<HANDLE>(std::exchange(m_native, -1))).Reset();
}

File CreateForWriting(const std::wstring& path) {
    return Open(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
}

File OpenForReading(const std::wstring& path) {
    return Open(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN);
}

void WriteAll(File& file, std::span<const char> data) {
    while (!data.empty()) {
        DWORD written = 0;
        auto length = static_cast<DWORD>(std::min<std::size_t>(data.size(), kLargestChunk));
        if (!::WriteFile(Handle(file), data.data(), length, &written, nullptr)) ThrowLastError();
        data = data.subspan(written);
    }
}

std::size_t Read(File& file, std::span<char> into) {
    DWORD got = 0;
    auto length = static_cast<DWORD>(std::min<std::size_t>(into.size(), kLargestChunk));
    if (!::ReadFile(Handle(file), into.data(), length, &got, nullptr)) {
        if (::GetLastError() == ERROR_BROKEN_PIPE) return 0;  // the writer of a pipe is gone
        ThrowLastError();
    }
    return got;
}

std::uint64_t SizeOf(const File& file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(Handle(file), &size)) ThrowLastError();
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::int64_t LastWriteTime(const File& file) {
    FILETIME written{};
    if (!::GetFileTime(Handle(file), nullptr, nullptr, &written)) ThrowLastError();
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(written.dwHighDateTime) << 32) |
                                     written.dwLowDateTime);
}

void Seek(File& file, std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(Handle(file), to, nullptr, FILE_BEGIN)) ThrowLastError();
}

}  // namespace platform
