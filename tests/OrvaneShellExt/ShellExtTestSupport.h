#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Guid.h"
#include "tests/support/TempDir.h"

namespace shellexttest {

using testsupport::WindowsPathOf;

// Empties the keys of the store, the uploader's settings and the tests' own, in the real registry.
void ResetRegistry();

// Saves a destination under `number` (user destinations below 65536) with that display name.
void SaveDestination(std::int32_t number, const std::wstring& displayName);

// Runs `work` on another thread while this one dispatches its window messages, so that a window
// of this thread can answer what `work` sends it.
void RunWhilePumping(const std::function<void()>& work);

// One WM_COPYDATA that reached a test window.
struct ReceivedHandOff {
    WPARAM number = 0;
    ULONG_PTR dataNumber = 0;
    DWORD size = 0;
    platform::GuidBytes guid{};
};

// Copies a received WM_COPYDATA out of its message.
ReceivedHandOff ReadCopyData(WPARAM wParam, LPARAM lParam);

// A list of the paths below one key, for comparisons: "relative\name=data" per value (the
// unnamed value as "@"), "relative\" per subkey; sorted.
std::vector<std::wstring> HandOffKeyLines(std::int32_t number, const platform::GuidBytes& guid);

}  // namespace shellexttest
