#include "Orvane/engine/tasks/UploadQueue.h"

CUploadQueue::CUploadQueue(const UploadFileMap& files, std::size_t lanes) : m_laneFolders(lanes) {
    for (const Item& item : files) {
        const std::vector<std::wstring> components = FolderComponents(item.second.relativeFolder);
        m_folders[FolderKey(components, components.size())].push_back(&item);
    }
    for (auto folder = m_folders.begin(); folder != m_folders.end(); ++folder)
        m_heads.insert({folder->second.front(), folder});
}

bool CUploadQueue::InOtherLane(Folders::iterator folder, std::size_t lane) const {
    for (std::size_t other = 0; other < m_laneFolders.size(); ++other)
        if (other != lane && m_laneFolders[other] == folder) return true;
    return false;
}

const CUploadQueue::Item* CUploadQueue::Take(std::size_t lane) {
    std::lock_guard guard(m_lock);
    if (m_firstFailure || m_heads.empty()) {
        m_laneFolders[lane].reset();  // no longer in the way of another lane's choice
        return nullptr;
    }
    std::optional<Folders::iterator> from = m_laneFolders[lane];
    if (!from || (*from)->second.empty()) {
        from = m_heads.begin()->folder;
        for (const Head& head : m_heads) {
            if (!InOtherLane(head.folder, lane)) {
                from = head.folder;
                break;
            }
        }
    }
    std::deque<const Item*>& pending = (*from)->second;
    const Item* item = pending.front();
    m_heads.erase({item, *from});
    pending.pop_front();
    if (!pending.empty()) m_heads.insert({pending.front(), *from});
    m_laneFolders[lane] = from;
    return item;
}

bool CUploadQueue::ClaimFolder(const std::wstring& folder) {
    std::lock_guard guard(m_lock);
    return m_claimedFolders.insert(folder).second;
}

void CUploadQueue::Fail(std::size_t lane) {
    std::lock_guard guard(m_lock);
    if (!m_firstFailure) m_firstFailure = lane;
}

std::optional<std::size_t> CUploadQueue::FirstFailure() const {
    std::lock_guard guard(m_lock);
    return m_firstFailure;
}

std::vector<std::wstring> FolderComponents(const std::wstring& folder) {
    std::vector<std::wstring> components;
    std::size_t start = 0;
    while (start <= folder.size()) {
        std::size_t end = folder.find(L'\\', start);
        if (end == std::wstring::npos) end = folder.size();
        if (end > start) components.push_back(folder.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

std::wstring FolderKey(const std::vector<std::wstring>& components, std::size_t count) {
    std::wstring key;
    for (std::size_t i = 0; i < count && i < components.size(); ++i) {
        if (i > 0) key += L'\\';
        key += components[i];
    }
    return key;
}
