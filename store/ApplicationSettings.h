#pragma once
#include <optional>
#include <string>

#include "platform/Registry.h"

// The switches under HKEY_CURRENT_USER\Software\Orvane\Options, set from outside the program and
// read each time they take effect, so that a change applies without a restart. A switch is on only
// when it is a REG_DWORD that is not 0; reading creates the "Options" key.
bool IsSmartContextMenu(platform::Registry& registry = platform::SystemRegistry());
bool IsSkipFolderConfirmation(platform::Registry& registry = platform::SystemRegistry());
bool IsTroubleshootList(platform::Registry& registry = platform::SystemRegistry());

// "FullPath" under Software\Orvane: the uploader's program path, written at each start without
// arguments and read by the shell extension to start it. Nullopt when absent or unreadable.
std::optional<std::wstring> ReadUploaderPath(platform::Registry& registry = platform::SystemRegistry());
void WriteUploaderPath(const std::wstring& programPath,
                       platform::Registry& registry = platform::SystemRegistry());
