#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/Guid.h"
#include "platform/Registry.h"
#include "store/FTPSettings.h"

// What became of a selection: its key written, or why it was refused before anything was left
// in the registry.
enum class HandOffKeyStatus {
    Written,
    NoCommonFolder,  // items of different drives or shares
    DriveRoot,       // a whole drive or share: its walk would take the whole volume
    TooManyItems,    // more files and folders than the hand-off may carry
    NotWritten,      // no key could be made
};

struct HandOffKeyResult {
    HandOffKeyStatus status = HandOffKeyStatus::NotWritten;
    platform::GuidBytes guid{};  // the key's name, when written
};

// The most files and folders one hand-off carries: each is a registry entry in the user's hive,
// which must not be filled by one right-click.
inline constexpr std::size_t kMaxHandOffItems = 100000;

// Writes the selection (full local paths, at least one) into a new hand-off key of the
// destination, folders expanded to everything below them: the base folder as the unnamed value,
// one value per file (name = the file's name, data = its full path), one subkey per folder. The
// base folder is the selection's common parent folder, and each item goes below the subkeys of
// its own folder relative to it, so that same-named items of different folders (a selection
// from search results) never replace each other; for items of one folder it is their folder.
// With "SmartContextMenu" on, a single selected folder is the base itself and its contents go
// straight into the key.
//
// A folder that is a junction or symbolic link gets its subkey but is not entered: it may lead
// back to one of its parents, and the walk must end. A folder that cannot be listed gets its
// full path as its key's unnamed value instead of contents, so the uploader can tell the user it
// was left out. A walk that meets more than `maxItems` files and folders stops and removes what
// it wrote.
HandOffKeyResult WriteHandOffKey(const FTPDestination& destination, const std::vector<std::wstring>& paths,
                                 platform::Registry& registry = platform::SystemRegistry(),
                                 std::size_t maxItems = kMaxHandOffItems);

// The folder that holds every selected item, at least a drive ("C:") or a share
// ("\\server\share"): the leading components that all the items' parent folders share. For one
// item its parent folder (empty when the path has no separator); nullopt for items on different
// drives or shares.
std::optional<std::wstring> CommonParentFolder(const std::vector<std::wstring>& paths);

// True for the root of a drive or share ("C:\", "C:", "\\server\share", or "/" off Windows).
bool IsVolumeRoot(const std::wstring& path);
