#include "tests/OrvaneShellExt/ShellExtTestSupport.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "Orvane/app/HandOffReader.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"

namespace shellexttest {

void ResetRegistry() {
    platform::Registry& registry = platform::SystemRegistry();
    registry.DeleteTree(platform::Hive::CurrentUser, L"Software\\Telmora");
    registry.DeleteTree(platform::Hive::LocalMachine, L"Software\\Telmora");  // Wine's user may write it
    registry.DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
    registry.DeleteTree(platform::Hive::CurrentUser, L"Software\\OrvaneTests");
}

void SaveDestination(std::int32_t number, const std::wstring& displayName) {
    FTPDestination destination = DestinationStore().GetDestination(number);
    destination.displayName = displayName;
    destination.server = L"127.0.0.1";
    DestinationStore().SaveDestination(destination);
}

void RunWhilePumping(const std::function<void()>& work) {
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        work();
        ::SetEvent(done);
    });
    while (::MsgWaitForMultipleObjects(1, &done, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    }
    worker.join();
    ::CloseHandle(done);
}

TargetWindow::TargetWindow(const std::wstring& title)
    : m_window([this](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
                   if (message != WM_COPYDATA) return std::nullopt;
                   const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
                   ReceivedHandOff handOff{wParam, data->dwData, data->cbData, {}};
                   std::memcpy(handOff.guid.data(), data->lpData,
                               std::min<std::size_t>(data->cbData, handOff.guid.size()));
                   received.push_back(handOff);
                   return TRUE;
               },
               title) {}

std::set<std::wstring> HandedOffFiles(std::int32_t number, const platform::GuidBytes& guid) {
    UploadJob job;
    ReadHandOffKey(L"", HandOffKeyPath(DestinationStore().GetDestination(number), GuidText(guid)), job);
    std::set<std::wstring> files;
    for (const auto& [path, entry] : job.files) files.insert(path);
    return files;
}

STDMETHODIMP HDropSelection::QueryInterface(REFIID iid, void** result) {
    if (!result) return E_POINTER;
    if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IDataObject)) {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    *result = static_cast<IDataObject*>(this);
    return S_OK;
}

STDMETHODIMP HDropSelection::QueryGetData(FORMATETC* format) {
    return format && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP HDropSelection::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!medium || QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    // DROPFILES, then each path with its terminator, then one more terminator.
    std::wstring list;
    for (const std::wstring& path : m_paths) list += path + L'\0';
    list += L'\0';
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    if (!memory) return E_OUTOFMEMORY;
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;  // the receiver's ReleaseStgMedium frees it
    return S_OK;
}

}  // namespace shellexttest
