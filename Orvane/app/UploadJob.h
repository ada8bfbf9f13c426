#pragma once
#include <cstdint>
#include <map>
#include <string>

// One file of an upload job.
struct UploadFileEntry {
    std::wstring localPath;       // the full local path; the entry's key in its job
    std::wstring name;            // stored under this name in its remote folder
    std::wstring relativeFolder;  // below the starting folder, components joined by "\"; empty at the top
    std::uint64_t size = 0;       // the size when the job was built; 0 if unreadable then
};

// Ordered by UTF-16 code units, ordinal and case-sensitive: the order files are sent in.
using UploadFileMap = std::map<std::wstring, UploadFileEntry>;

// What one hand-off becomes: the files still to send to one destination, with the counters the
// progress display and the estimate need. A plain value; copies are deep.
struct UploadJob {
    UploadFileMap files;            // a file leaves once the server has confirmed it
    std::uint32_t startTick = 0;    // tick count of the latest (re)start; 0 before the first
    // Counted in 64 bits: one file alone may pass 4 GiB. Nothing stored or sent depends on it.
    std::int64_t totalBytes = 0;    // sum of the sizes when the job was built
    std::int64_t doneBytes = 0;     // bytes reported for files still in the map; never reset
    std::int32_t destinationNumber = 0;
    std::wstring destinationName;   // the destination's display name at hand-off time
    std::wstring key;               // the hand-off key's GUID text

    // Adds a file while the job is built. A local path already in the job keeps its first
    // entry; false then.
    bool AddFile(UploadFileEntry entry);
};
