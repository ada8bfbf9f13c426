#include "Orvane/app/HandOffReader.h"

#include "platform/File.h"
#include "platform/RegistryValues.h"

namespace {

// The longest path the system can name, terminator included.
constexpr std::size_t kPathCapacity = 32768;

std::uint64_t CurrentSize(const std::wstring& path) {
    try {
        platform::File file = platform::OpenForReading(path);
        return platform::SizeOf(file);
    } catch (int) {
        return 0;
    }
}

}  // namespace

void ReadHandOffKey(const std::wstring& relativeFolder, const std::wstring& keyPath, UploadJob& job,
                    platform::Registry& registry) {
    const auto key = registry.Open(platform::Hive::CurrentUser, keyPath, platform::Access::Read);
    if (!key) return;
    for (const std::wstring& name : key->SubkeyNames())
        ReadHandOffKey(relativeFolder.empty() ? name : relativeFolder + L"\\" + name, keyPath + L"\\" + name, job,
                       registry);
    for (const std::wstring& name : key->ValueNames()) {
        if (name.empty()) continue;
        // A value that is not a path is skipped alone; the files after it still count.
        std::optional<std::wstring> path = platform::ReadString(*key, name, kPathCapacity);
        if (!path) continue;
        const std::uint64_t size = CurrentSize(*path);
        job.AddFile({std::move(*path), name, relativeFolder, size});
    }
}
