#pragma once
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Orvane/app/UploadJob.h"

// The files of one upload, shared out among its connections ("lanes"); the remote folders that
// some lane has made or entered; and the first failure, which ends the sharing out.
//
// The lanes run on threads of their own and meet only here, so this class holds a lock of its
// own: each member takes it for a few lines and never across a wait, a post or a call out.
class CUploadQueue {
public:
    using Item = UploadFileMap::value_type;  // the key (the local path) and the entry

    // `files` must outlive the queue and stay as it is.
    CUploadQueue(const UploadFileMap& files, std::size_t lanes);
    CUploadQueue(const CUploadQueue&) = delete;
    CUploadQueue& operator=(const CUploadQueue&) = delete;

    // The next file for `lane`: the next one, in key order, of the folder its last file was in,
    // while there is one (no folder change); else the first, in key order, of a folder that no
    // other lane is in (lanes spread over the folders instead of all changing folder after each
    // one); else the first. Null once the files are gone or a lane has failed.
    const Item* Take(std::size_t lane);

    // True for the first lane of this job that comes to the remote folder (FolderKey's form):
    // that lane makes it, the others only enter it.
    bool ClaimFolder(const std::wstring& folder);

    // `lane` failed: no lane takes another file from now on. The first failing lane is kept.
    void Fail(std::size_t lane);
    std::optional<std::size_t> FirstFailure() const;

private:
    using Folders = std::map<std::wstring, std::deque<const Item*>>;
    // A folder's next file; ordered by that file's key, so the first head is the first file.
    struct Head {
        const Item* item;
        Folders::iterator folder;
        bool operator<(const Head& other) const { return item->first < other.item->first; }
    };

    bool InOtherLane(Folders::iterator folder, std::size_t lane) const;

    mutable std::mutex m_lock;
    Folders m_folders;                               // every folder of the job, emptied ones too
    std::set<Head> m_heads;                          // one per folder that still has files
    std::vector<std::optional<Folders::iterator>> m_laneFolders;  // where each lane's last file was
    std::set<std::wstring> m_claimedFolders;
    std::optional<std::size_t> m_firstFailure;
};

// The components of a remote folder below the starting folder: split at "\", empty ones
// dropped, so "\a\\b\" and "a\b" are the same folder.
std::vector<std::wstring> FolderComponents(const std::wstring& folder);

// The first `count` components joined by "\": one spelling for each folder.
std::wstring FolderKey(const std::vector<std::wstring>& components, std::size_t count);
