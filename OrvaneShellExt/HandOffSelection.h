#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Guid.h"

// Hands the selected paths to the uploader that serves destination `number`: writes them into a
// new hand-off key, then sends its GUID to the window of class "OrvaneWindow" titled with the
// number. When there is no such window (or it does not take the message), starts the uploader
// from "FullPath" with the number as its argument and probes for its window 7 times, 1 s apart.
// Blocks the calling thread meanwhile; every failure ends it quietly and leaves the key.
void HandOffSelection(std::int32_t number, const std::vector<std::wstring>& paths);

// Sends WM_COPYDATA with the number and the GUID's 16 bytes; what the receiver returned, or 0
// for a null window.
LRESULT DeliverHandOff(HWND window, std::int32_t number, const platform::GuidBytes& guid);

// The command line that starts the uploader for `title`: the program path in quotes, since an
// unquoted path with a blank (C:\Program Files\...) would let CreateProcessW run C:\Program.exe.
std::wstring UploaderCommandLine(const std::wstring& programPath, const std::wstring& title);
