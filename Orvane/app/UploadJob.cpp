#include "Orvane/app/UploadJob.h"

#include <utility>

bool UploadJob::AddFile(UploadFileEntry entry) {
    const std::uint32_t size = entry.size;
    std::wstring path = entry.localPath;
    if (!files.try_emplace(std::move(path), std::move(entry)).second) return false;
    // The counter is 32-bit by record; the sum wraps as it does for the sizes' low bits.
    totalBytes = static_cast<std::int32_t>(static_cast<std::uint32_t>(totalBytes) + size);
    return true;
}

bool UploadJob::LeaveOut(const std::wstring& localPath, int errorCode) {
    const auto found = files.find(localPath);
    if (found == files.end()) return false;
    totalBytes = static_cast<std::int32_t>(static_cast<std::uint32_t>(totalBytes) - found->second.size);
    files.erase(found);
    leftOut.push_back({localPath, errorCode});
    return true;
}
