#pragma once
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "Orvane/app/ExtensionTargetWindow.h"
#include "platform/Guid.h"
#include "tests/support/TempDir.h"

namespace shellexttest {

using testsupport::WindowsPathOf;

// Empties the keys of the store, the uploader's settings and the tests' own, in the real registry.
void ResetRegistry();

// Saves a destination under `number` (user destinations below 65536) with that display name.
void SaveDestination(std::int32_t number, const std::wstring& displayName);

// One WM_COPYDATA that reached a test window.
struct ReceivedHandOff {
    WPARAM number = 0;
    ULONG_PTR dataNumber = 0;
    DWORD size = 0;
    platform::GuidBytes guid{};
};

// A stand-in for the uploader's window of destination `title`, taking and recording hand-offs.
class TargetWindow {
public:
    explicit TargetWindow(const std::wstring& title);
    HWND Handle() const { return m_window.Handle(); }

    std::vector<ReceivedHandOff> received;

private:
    CExtensionTargetWindow m_window;
};

// The local paths of the files in destination `number`'s hand-off key `guid`, as the uploader
// reads them.
std::set<std::wstring> HandedOffFiles(std::int32_t number, const platform::GuidBytes& guid);

// A selection as CF_HDROP holding exactly `paths`, as a file manager hands one over for search
// results: for what the shell's own folder objects will not make under Wine (a drive itself, paths
// past 260 characters). Lives on the test's stack; it counts no references.
class HDropSelection final : public IDataObject {
public:
    explicit HDropSelection(std::vector<std::wstring> paths) : m_paths(std::move(paths)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
        const bool known = ::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDataObject);
        *result = known ? static_cast<IDataObject*>(this) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        // DROPFILES, then each path with its terminator, then one more terminator.
        std::wstring list;
        for (const std::wstring& path : m_paths) list += path + L'\0';
        list += L'\0';
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
        medium->pUnkForRelease = nullptr;  // the receiver's ReleaseStgMedium frees it
        auto* drop = static_cast<DROPFILES*>(::GlobalLock(medium->hGlobal));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
        ::GlobalUnlock(medium->hGlobal);
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::vector<std::wstring> m_paths;
};

}  // namespace shellexttest
