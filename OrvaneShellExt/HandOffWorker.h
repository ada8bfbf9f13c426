#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One picked command, copied out of the file manager's call.
struct HandOffRequest {
    std::int32_t number = 0;
    std::vector<std::wstring> paths;
    HWND owner = nullptr;  // the window the command came from; it may be gone by the time we report
};

// Runs the hand-off on a thread of its own and returns at once, so that the file manager never
// waits for the walk, the registry, a starting uploader or its folder confirmation. The thread
// owns the request, holds a reference on the library and a module lock until it ends (the library
// must not unload under it), and tells the user in a message box what went wrong, owned by the
// request's window while that still exists. False when no thread could be started: nothing runs.
bool StartHandOffWorker(std::unique_ptr<HandOffRequest> request);
