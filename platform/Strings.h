#pragma once
#include <string>

namespace platform {

// The text of string resource `id` of the running program, empty when it has none. On Windows
// the string tables are compiled into each executable; elsewhere tables generated from the same
// resource scripts are linked into it.
std::wstring LoadText(unsigned id);

}  // namespace platform
