#include "Orvane/app/HandOffReader.h"

#include <utility>

#include "platform/File.h"
#include "platform/Folder.h"
#include "platform/RegistryValues.h"

namespace {

// The longest path the system can name, terminator included.
constexpr std::size_t kPathCapacity = 32768;

// The file's size and last write now; zeros for a file that cannot be opened.
std::pair<std::uint64_t, std::int64_t> CurrentState(const std::wstring& path) {
    try {
        platform::File file = platform::OpenForReading(path);
        return {platform::SizeOf(file), platform::LastWriteTime(file)};
    } catch (int) {
        return {0, 0};
    }
}

// Why the folder cannot be listed, asked again now: the hand-off records only that it could
// not. 0 when it can be listed by now, which does not bring back what the hand-off missed.
int ListingError(const std::wstring& folder) {
    try {
        platform::ListFolder(folder);
        return 0;
    } catch (int error) {
        return error;
    }
}

}  // namespace

void ReadHandOffKey(const std::wstring& relativeFolder, const std::wstring& keyPath, UploadJob& job,
                    platform::Registry& registry) {
    const auto key = registry.Open(platform::Hive::CurrentUser, keyPath, platform::Access::Read);
    if (!key) return;
    // Below the top, where it names the base folder, an unnamed value marks a folder that the
    // extension could not read.
    if (!relativeFolder.empty())
        if (auto unread = platform::ReadString(*key, L"", kPathCapacity); unread && !unread->empty())
            job.leftOut.push_back({*unread, ListingError(*unread)});
    for (const std::wstring& name : key->SubkeyNames())
        ReadHandOffKey(relativeFolder.empty() ? name : relativeFolder + L"\\" + name, keyPath + L"\\" + name, job,
                       registry);
    for (const std::wstring& name : key->ValueNames()) {
        if (name.empty()) continue;
        // A value that is not a path is skipped alone; the files after it still count.
        std::optional<std::wstring> path = platform::ReadString(*key, name, kPathCapacity);
        if (!path) continue;
        const auto [size, lastWriteTime] = CurrentState(*path);
        job.AddFile({std::move(*path), name, relativeFolder, size, lastWriteTime});
    }
}
