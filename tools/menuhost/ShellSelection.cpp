#include "tools/menuhost/ShellSelection.h"

#include <memory>

namespace {

struct ItemListFree {
    void operator()(ITEMIDLIST* list) const { ::CoTaskMemFree(list); }
};
using ItemList = std::unique_ptr<ITEMIDLIST, ItemListFree>;

HRESULT Parse(IShellFolder& folder, std::wstring name, ItemList& list) {
    PIDLIST_RELATIVE parsed = nullptr;
    const HRESULT hr = folder.ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &parsed, nullptr);
    list.reset(parsed);
    return hr;
}

}  // namespace

HRESULT ShellDataObject(const std::wstring& parent, const std::vector<std::wstring>& names, Com<IDataObject>& result) {
    Com<IShellFolder> desktop, folder;
    HRESULT hr = ::SHGetDesktopFolder(reinterpret_cast<IShellFolder**>(desktop.Put()));
    if (FAILED(hr)) return hr;
    ItemList parentList;
    if (FAILED(hr = Parse(*desktop.Get(), parent, parentList))) return hr;
    if (FAILED(hr = desktop->BindToObject(parentList.get(), nullptr, IID_IShellFolder, folder.Put()))) return hr;
    std::vector<ItemList> children(names.size());
    std::vector<PCUITEMID_CHILD> childLists;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (FAILED(hr = Parse(*folder.Get(), names[i], children[i]))) return hr;
        childLists.push_back(children[i].get());
    }
    return folder->GetUIObjectOf(nullptr, static_cast<UINT>(childLists.size()), childLists.data(), IID_IDataObject,
                                 nullptr, result.Put());
}
