#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// Driving real dialogs the way a user's clicks reach them; modal windows are answered from a
// Helper thread while the test's thread sits in their loop.

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));

// A visible top-level window of this process with this caption.
HWND WaitForWindow(const std::wstring& caption, std::chrono::milliseconds limit = std::chrono::seconds(20));

std::wstring ItemText(HWND dialog, int id);
std::vector<std::wstring> ListTexts(HWND list);  // a list view's first column, top to bottom

// Posted: a modal window it opens does not block the sender. A disabled button ignores it. The
// click (BM_CLICK) takes the focus first, as the mouse's does.
void PostClick(HWND dialog, int id);
void SendItemActivate(HWND dialog, int listId, int item);

using Helper = std::jthread;  // runs its steps on a second thread; the destructor waits for it

// Into docs/screenshots/<name>.png of the source tree, when ORVANE_SCREENSHOTS is set.
void Screenshot(HWND window, const std::string& name);

}  // namespace testsupport
