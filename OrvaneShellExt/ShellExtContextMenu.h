#pragma once
#include <windows.h>
#include <shlobj.h>

#include "OrvaneShellExt/OrvaneContextMenu.h"

// The COM object the file manager creates for one context menu, {3C1D52A0-7B44-4E1F-9A06-
// 2F5D8E61B7C3}. Apartment-threaded: it lives on the file manager's thread that made it, so its
// reference count needs no locking. No exception leaves a method: the file manager must never
// crash because of us.
class CShellExtContextMenu final : public COrvaneContextMenu, public IShellExtInit, public IContextMenu {
public:
    CShellExtContextMenu();  // may throw std::bad_alloc
    ~CShellExtContextMenu() override;

    STDMETHODIMP QueryInterface(REFIID iid, void** result) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* dataObject, HKEY progIdKey) override;

    STDMETHODIMP QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* invocation) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, CHAR* name, UINT size) override;

private:
    ULONG m_references = 0;
};
