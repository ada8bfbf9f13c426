#include "Orvane/app/UploadJob.h"

#include <utility>

bool UploadJob::AddFile(UploadFileEntry entry) {
    const std::uint64_t size = entry.size;
    std::wstring path = entry.localPath;
    if (!files.try_emplace(std::move(path), std::move(entry)).second) return false;
    totalBytes += static_cast<std::int64_t>(size);
    return true;
}

bool UploadJob::LeaveOut(const std::wstring& localPath, int errorCode) {
    const auto found = files.find(localPath);
    if (found == files.end()) return false;
    totalBytes -= static_cast<std::int64_t>(found->second.size);
    files.erase(found);
    leftOut.push_back({localPath, errorCode});
    return true;
}
