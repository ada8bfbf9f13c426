#pragma once
#include <string>

#include "Orvane/app/UploadJob.h"
#include "platform/Registry.h"

// Adds every file listed below the hand-off key at `keyPath` (in HKEY_CURRENT_USER) to `job`:
// subkeys first, each adding its name to the relative folder, then the key's values (the
// unnamed one, the base folder, is skipped). Sizes and last writes are the files' current
// ones, 0 for a file that cannot be opened. A folder the extension could not read (a subkey
// whose unnamed value is its path) becomes one of the job's left-out items. A missing key adds
// nothing and is not created.
void ReadHandOffKey(const std::wstring& relativeFolder, const std::wstring& keyPath, UploadJob& job,
                    platform::Registry& registry = platform::SystemRegistry());
