#pragma once
#include <string>

namespace platform::win32 {

// `path` in the form that lifts the 260-character limit of the file functions: "\\?\C:\..." or
// "\\?\UNC\server\share\...". The system takes such a path literally, so it is made full and
// canonical first ("." and ".." resolved, "/" turned into "\"). A path already in a device
// form, or one the system cannot make full, is returned as it is.
std::wstring LongPath(const std::wstring& path);

}  // namespace platform::win32
