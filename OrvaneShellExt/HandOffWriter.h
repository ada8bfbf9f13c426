#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/Guid.h"
#include "platform/Registry.h"
#include "store/FTPSettings.h"

// Writes the selection (full local paths, at least one) into a new hand-off key of the
// destination, folders expanded to everything below them: the base folder as the unnamed value,
// one value per file (name = the file's name, data = its full path), one subkey per folder. With
// "SmartContextMenu" on, a single selected folder is the base itself and its contents go
// straight into the key. Returns the key's GUID, or nullopt when no key could be made.
std::optional<platform::GuidBytes> WriteHandOffKey(const FTPDestination& destination,
                                                   const std::vector<std::wstring>& paths,
                                                   platform::Registry& registry = platform::SystemRegistry());

// Adds everything below `folder` to `key`: a value per file, a subkey per folder, recursively.
// A folder that is a junction or symbolic link gets its subkey but is not entered: it may lead
// back to one of its parents, and the walk must end.
void AddFolderContents(platform::RegistryKey& key, const std::wstring& folder);
