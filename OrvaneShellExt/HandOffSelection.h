#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Guid.h"

// How a hand-off ended: delivered, or what the user must be told.
enum class HandOffOutcome {
    Delivered,
    NoCommonFolder,  // refused: items of different drives or shares
    DriveRoot,       // refused: a whole drive or share
    TooManyItems,    // refused: more files and folders than one hand-off carries
    NotRecorded,     // the hand-off key could not be written
    NoProgramPath,   // no uploader running, and "FullPath" missing or unreadable
    CannotStart,     // CreateProcessW refused "FullPath"
    NoAnswer,        // the started uploader's window did not come, or did not take the hand-off
};

struct HandOffResult {
    HandOffOutcome outcome = HandOffOutcome::Delivered;
    std::wstring program;  // the "FullPath" that could not be started
};

// Hands the selected paths to the uploader that serves destination `number`: writes them into a
// new hand-off key, then sends its GUID to the window of class "OrvaneWindow" titled with the
// number. When there is no such window (or it does not take the message), starts the uploader
// from "FullPath" with the number as its argument, waits (bounded) until it is idle, which is
// when its window exists, and probes for the window 7 times, 1 s apart. Blocks the calling
// thread meanwhile, also through a modal folder confirmation of the receiver: the extension calls
// it on a worker thread, never on the file manager's. A refused selection leaves no key; any
// later failure leaves the key for the uploader to find. Reads no password.
HandOffResult HandOffSelection(std::int32_t number, const std::vector<std::wstring>& paths);

// Sends WM_COPYDATA with the number and the GUID's 16 bytes, first letting the receiving process
// take the foreground for its folder confirmation; what the receiver returned, or 0 for a null
// window.
LRESULT DeliverHandOff(HWND window, std::int32_t number, const platform::GuidBytes& guid);

// The command line that starts the uploader for `title`: the program path in quotes, since an
// unquoted path with a blank (C:\Program Files\...) would let CreateProcessW run C:\Program.exe.
std::wstring UploaderCommandLine(const std::wstring& programPath, const std::wstring& title);
