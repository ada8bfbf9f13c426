#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One file of an upload job.
struct UploadFileEntry {
    std::wstring localPath;       // the full local path; the entry's key in its job
    std::wstring name;            // stored under this name in its remote folder
    std::wstring relativeFolder;  // below the starting folder, components joined by "\"; empty at the top
    std::uint64_t size = 0;       // the size when the job was built; 0 if unreadable then
    std::int64_t lastWriteTime = 0;  // platform::LastWriteTime when the job was built
    // Bytes of it went out in an earlier run that did not confirm it: the server may hold a part
    // of it, which the next run may continue rather than send again.
    bool cutOff = false;
};

// A selected item that is not sent because it could not be read: a folder the hand-off could
// not list, or a file that could not be opened when its turn came.
struct LeftOutItem {
    std::wstring localPath;
    int errorCode = 0;  // why, as a system error number; 0 when that is not known
    bool operator==(const LeftOutItem&) const = default;
};

// Ordered by UTF-16 code units, ordinal and case-sensitive: the order files are sent in.
using UploadFileMap = std::map<std::wstring, UploadFileEntry>;

// What one hand-off becomes: the files still to send to one destination, with the counters the
// progress display and the estimate need. A plain value; copies are deep.
struct UploadJob {
    UploadFileMap files;            // a file leaves once the server has confirmed it or it is left out
    std::uint32_t startTick = 0;    // tick count of the latest (re)start; 0 before the first
    // Counted in 64 bits: one file alone may pass 4 GiB. Nothing stored or sent depends on it.
    std::int64_t totalBytes = 0;    // sum of the sizes when the job was built, less those left out
    std::int64_t doneBytes = 0;     // bytes reported for files still in the map; never reset
    // Of doneBytes, those not sent since the latest start: counted by earlier runs, or already on
    // the server when a file was resumed. The estimate goes by the rest.
    std::int64_t carriedBytes = 0;
    std::int32_t destinationNumber = 0;
    std::wstring destinationName;   // the destination's display name at hand-off time
    std::wstring key;               // the hand-off key's GUID text
    std::vector<LeftOutItem> leftOut;  // told to the user when the job ends

    // Adds a file while the job is built. A local path already in the job keeps its first
    // entry; false then.
    bool AddFile(UploadFileEntry entry);
    // Moves a file that cannot be read from the files to the left-out items; its bytes are no
    // longer expected, so the total drops by its size. False when the job does not hold it.
    bool LeaveOut(const std::wstring& localPath, int errorCode);
};
