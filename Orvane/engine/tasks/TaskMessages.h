#pragma once
#include <string>

// The messages that tasks post to the window their creator named. The numbers are fixed: the
// first user message (0x0400) plus 0x0400 plus n. A pointer in a parameter is a heap object
// that passes to the receiving window, which deletes it (platform::AdoptPosted).

//                                                          wParam          lParam
inline constexpr unsigned WM_TEST_CONNECTION_STARTED = 0x0800;  // 0               0
inline constexpr unsigned WM_TEST_CONNECTION_FINISHED = 0x0801; // CTaskResult*    0
inline constexpr unsigned WM_LIST_STARTED = 0x0802;             // 0               0
inline constexpr unsigned WM_LIST_FINISHED = 0x0803;            // CTaskResult*    DirectoryContent* or null
inline constexpr unsigned WM_MKDIR_STARTED = 0x0804;            // 0               0
inline constexpr unsigned WM_MKDIR_FINISHED = 0x0805;           // CTaskResult*    0
inline constexpr unsigned WM_RENAME_STARTED = 0x0806;           // 0               0
inline constexpr unsigned WM_RENAME_FINISHED = 0x0807;          // CTaskResult*    0
inline constexpr unsigned WM_UPLOAD_STARTED = 0x0808;           // 0               std::wstring* job key
inline constexpr unsigned WM_UPLOAD_STATUS = 0x0809;            // std::wstring* file key, std::wstring* job key
inline constexpr unsigned WM_UPLOAD_PROGRESS = 0x080A;          // std::wstring* local path, bytes sent
inline constexpr unsigned WM_UPLOAD_FILE_DONE = 0x080B;         // std::wstring* file key, std::wstring* job key
inline constexpr unsigned WM_UPLOAD_FINISHED = 0x080C;          // CTaskResult*    std::wstring* job key
inline constexpr unsigned WM_UPLOAD_FILE_SKIPPED = 0x080D;      // std::wstring* file key, UploadSkip*
// Before the progress of a file whose transfer starts over in this run: the bytes of it already
// on the server (a part that REST continues), or 0 when it goes again from its start; either way
// what was reported for it before in this run no longer counts.
inline constexpr unsigned WM_UPLOAD_RESUMED = 0x080E;           // std::wstring* local path, bytes there

// What WM_UPLOAD_FILE_SKIPPED carries besides the file key: a file that could not be opened for
// reading when its turn came, so the upload went on without it.
struct UploadSkip {
    std::wstring jobKey;
    int errorCode = 0;  // what opening it failed with (2 gone, 5 access denied, 32 held by a writer, ...)
};
