#pragma once
#include <windows.h>

#include "platform/Folder.h"

namespace platform::win32 {

// The folder entry that one FindFirstFileW or FindNextFileW record describes.
FolderEntry EntryOf(const WIN32_FIND_DATAW& data);

}  // namespace platform::win32
