#include "OrvaneShellExt/HandOffWorker.h"

#include "OrvaneShellExt/HandOffSelection.h"
#include "OrvaneShellExt/HandOffWriter.h"
#include "OrvaneShellExt/OrvaneShellExtModule.h"
#include "OrvaneShellExt/Resource.h"
#include "platform/win32/Unique.h"
#include "store/DestinationStore.h"

namespace {

// The message for an outcome, with "%1" replaced by `detail`; empty when there is nothing to say.
std::wstring MessageFor(const HandOffResult& result) {
    UINT id = 0;
    std::wstring detail;
    switch (result.outcome) {
    case HandOffOutcome::Delivered: return {};
    case HandOffOutcome::NoCommonFolder: id = IDS_NO_COMMON_FOLDER; break;
    case HandOffOutcome::DriveRoot: id = IDS_DRIVE_ROOT; break;
    case HandOffOutcome::TooManyItems:
        id = IDS_TOO_MANY_ITEMS;
        detail = std::to_wstring(kMaxHandOffItems);
        break;
    case HandOffOutcome::NotRecorded: id = IDS_NOT_RECORDED; break;
    case HandOffOutcome::NoProgramPath: id = IDS_NO_PROGRAM_PATH; break;
    case HandOffOutcome::CannotStart:
        id = IDS_CANNOT_START;
        detail = result.program;
        break;
    case HandOffOutcome::NoAnswer: id = IDS_NO_ANSWER; break;
    }
    std::wstring text = Module().LoadText(id);
    if (const std::size_t at = text.find(L"%1"); at != std::wstring::npos) text.replace(at, 2, detail);
    return text;
}

void Report(const HandOffRequest& request, const HandOffResult& result) {
    const std::wstring text = MessageFor(result);
    if (text.empty()) return;
    const std::wstring caption = Module().LoadText(IDS_UPLOAD_TO) + L" " +
                                 DestinationStore(Passwords::Skip).GetDestination(request.number).displayName;
    // A box owned by a window that is gone would not be shown at all.
    HWND owner = request.owner && ::IsWindow(request.owner) ? request.owner : nullptr;
    ::MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

// What the thread starts with: the request, and the library reference it gives back at its end.
struct WorkerStart {
    std::unique_ptr<HandOffRequest> request;
    HMODULE library = nullptr;
};

DWORD WINAPI RunWorker(void* parameter) {
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));  // ours from here on
    const HMODULE library = start->library;
    try {
        Report(*start->request, HandOffSelection(start->request->number, start->request->paths));
    } catch (...) {
        // Out of memory: nothing can be said, and nothing may escape into the file manager.
    }
    start.reset();
    Module().Unlock();
    // Gives the reference back and ends without returning into code that may then be unmapped.
    ::FreeLibraryAndExitThread(library, 0);
}

}  // namespace

bool StartHandOffWorker(std::unique_ptr<HandOffRequest> request) {
    auto start = std::make_unique<WorkerStart>();
    start->request = std::move(request);
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<const wchar_t*>(&StartHandOffWorker), &start->library))
        return false;
    const HMODULE library = start->library;
    Module().Lock();
    // Not joined by anyone: it ends by itself, and nothing it uses belongs to the caller, so its
    // handle is let go at once.
    if (const platform::win32::UniqueHandle thread(::CreateThread(nullptr, 0, &RunWorker, start.get(), 0, nullptr));
        thread) {
        start.release();  // the thread adopted it
        return true;
    }
    Module().Unlock();
    ::FreeLibrary(library);
    return false;
}
