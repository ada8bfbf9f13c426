#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace platform {

// An open local file. Move-only; the destructor closes it.
class File {
public:
    File() = default;
    explicit File(std::intptr_t native) : m_native(native) {}
    File(File&& other) noexcept : m_native(other.m_native) { other.m_native = -1; }
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { Close(); }

    bool IsOpen() const { return m_native != -1; }
    std::intptr_t Native() const { return m_native; }
    void Close();

private:
    std::intptr_t m_native = -1;
};

// Creates or truncates `path` for writing, shared for reading. Throws int (3 for a missing folder).
File CreateForWriting(const std::wstring& path);
// Opens an existing file for sequential reading, shared for reading only, so a file that another
// program holds open for writing is refused. Throws int (2 missing, 32 sharing violation, ...).
File OpenForReading(const std::wstring& path);
// Opens `path` as OpenForReading does and closes it again: 0 when that worked, else the number
// OpenForReading throws.
inline int ProbeForReading(const std::wstring& path) {
    try {
        OpenForReading(path);
        return 0;
    } catch (int error) {
        return error;
    }
}

void WriteAll(File& file, std::span<const char> data);  // throws int
std::size_t Read(File& file, std::span<char> into);     // 0 at the end; throws int
std::uint64_t SizeOf(const File& file);                 // throws int
// When the file's content was last written, in the system's own units: for telling whether a
// file changed, not for showing. Throws int.
std::int64_t LastWriteTime(const File& file);
// Moves the position the next Read starts from to `offset` bytes from the start. Throws int.
void Seek(File& file, std::uint64_t offset);

}  // namespace platform
