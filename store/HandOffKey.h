#pragma once
#include <string>

#include "platform/Guid.h"
#include "store/FTPSettings.h"

// The registry key that carries one selection from the shell extension to the uploader: below
// the destination's key in the user's hive (also for a machine-wide destination), named by the
// hand-off's GUID.

// "{%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}" over the GUID's fields: the third group
// in lower-case digits, all others in upper case. Both sides name the key with this one format.
std::wstring GuidText(const platform::GuidBytes& guid);

// DestinationKeyPath(destination) + "\" + guidText, in HKEY_CURRENT_USER.
std::wstring HandOffKeyPath(const FTPDestination& destination, const std::wstring& guidText);
