#include "OrvaneShellExt/ShellExtContextMenu.h"

#include "OrvaneShellExt/OrvaneShellExtModule.h"
#include "OrvaneShellExt/Resource.h"

CShellExtContextMenu::CShellExtContextMenu()
    : COrvaneContextMenu(Module().LoadText(IDS_UPLOAD_TO), Module().LoadText(IDS_UPLOAD_HELP)) {
    Module().Lock();
}

CShellExtContextMenu::~CShellExtContextMenu() {
    Module().Unlock();
}

STDMETHODIMP CShellExtContextMenu::QueryInterface(REFIID iid, void** result) {
    if (!result) return E_POINTER;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IShellExtInit)) {
        *result = static_cast<IShellExtInit*>(this);
    } else if (::IsEqualIID(iid, IID_IContextMenu)) {
        *result = static_cast<IContextMenu*>(this);
    } else {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CShellExtContextMenu::AddRef() {
    return ++m_references;
}

STDMETHODIMP_(ULONG) CShellExtContextMenu::Release() {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP CShellExtContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* dataObject, HKEY) {
    try {
        return ReadSelection(dataObject);
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP CShellExtContextMenu::QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                                    UINT flags) {
    try {
        if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, BuildMenu(menu, indexMenu, idCmdFirst, idCmdLast));
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP CShellExtContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* invocation) {
    try {
        // A verb string ("open", "delete") is never ours: we are registered for every file, and
        // must not claim the file manager's own verbs. IS_INTRESOURCE looks at every bit above
        // the low word, so a string whose address has bits 16-31 clear is not read as an offset.
        if (!invocation || !IS_INTRESOURCE(invocation->lpVerb)) return E_FAIL;
        return RunCommand(LOWORD(reinterpret_cast<UINT_PTR>(invocation->lpVerb)), invocation->hwnd) ? S_OK : E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP CShellExtContextMenu::GetCommandString(UINT_PTR idCmd, UINT type, UINT*, CHAR* name, UINT size) {
    try {
        if ((type & GCS_HELPTEXTA) == 0) return S_OK;  // verb and validation requests
        CopyHelpText(static_cast<unsigned>(idCmd), (type & GCS_UNICODE) != 0, name, size);
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}
