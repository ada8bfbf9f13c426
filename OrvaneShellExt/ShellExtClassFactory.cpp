#include "OrvaneShellExt/ShellExtClassFactory.h"

#include <new>

#include "OrvaneShellExt/OrvaneShellExtModule.h"
#include "OrvaneShellExt/ShellExtContextMenu.h"

namespace {

class CShellExtClassFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
        if (!result) return E_POINTER;
        if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IClassFactory)) {
            *result = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        Module().Lock();
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override {
        Module().Unlock();
        return 1;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** result) override {
        if (!result) return E_POINTER;
        *result = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        try {
            auto* object = new CShellExtContextMenu();
            object->AddRef();  // hold it while asking, so a refused interface frees it
            const HRESULT hr = object->QueryInterface(iid, result);
            object->Release();
            return hr;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) Module().Lock();
        else Module().Unlock();
        return S_OK;
    }
};

}  // namespace

IClassFactory& ShellExtClassFactory() {
    static CShellExtClassFactory factory;
    return factory;
}
