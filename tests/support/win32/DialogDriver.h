#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// Driving real dialogs from a test, the way a user's clicks and keys reach them: messages sent
// to controls, notifications sent to dialogs, and modal windows answered from a second thread
// (a Helper) while the test's thread sits in their modal loop.

// Dispatches this thread's messages until `done` holds or `limit` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));

// A visible top-level window of this process with exactly this caption, waiting up to `limit`.
HWND WaitForWindow(const std::wstring& caption, std::chrono::milliseconds limit = std::chrono::seconds(20));

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);
std::vector<std::wstring> ListTexts(HWND list);  // a list view's first column, top to bottom
HWND FocusOf(HWND window);  // the control with the keyboard focus on `window`'s thread

// Posts a click on a button of `dialog` (it arrives in the dialog's own loop, so a modal window
// it opens does not block the sender). A disabled or hidden button ignores it, as it would a user.
void PostClick(HWND dialog, int id);
// List-view notifications as the list sends them on a user's action.
void SendItemActivate(HWND dialog, int listId, int item);
void SendClick(HWND dialog, int listId);  // NM_CLICK
void SelectListItem(HWND list, int item);

using Helper = std::jthread;  // runs its steps on a second thread; the destructor waits for it

// Takes a picture of `window` (whole screen cut to its rectangle) into docs/screenshots/<name>.png
// of the source tree, with ImageMagick's import; does nothing when ORVANE_SCREENSHOTS is unset.
void Screenshot(HWND window, const std::string& name);

}  // namespace testsupport
