#include "OrvaneShellExt/OrvaneShellExtModule.h"

#include <objbase.h>
#include <olectl.h>

#include "OrvaneShellExt/ExtensionRegistration.h"
#include "OrvaneShellExt/Resource.h"
#include "OrvaneShellExt/ShellExtClassFactory.h"
#include "platform/Registry.h"

namespace {

// {3C1D52A0-7B44-4E1F-9A06-2F5D8E61B7C3}
constexpr CLSID kClsidShellExtContextMenu = {0x3C1D52A0, 0x7B44, 0x4E1F, {0x9A, 0x06, 0x2F, 0x5D, 0x8E, 0x61, 0xB7, 0xC3}};

// The registry script resource; its text is plain ASCII.
std::wstring LoadRegistryScript(HINSTANCE instance) {
    HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(IDR_SHELLEXTCONTEXTMENU), L"REGISTRY");
    if (!found) return {};
    HGLOBAL loaded = ::LoadResource(instance, found);
    const auto* bytes = static_cast<const char*>(::LockResource(loaded));
    if (!bytes) return {};
    return std::wstring(bytes, bytes + ::SizeofResource(instance, found));
}

// The registrar's work runs under the system's default locale, as the platform's registrar does.
class SystemLocaleScope {
public:
    SystemLocaleScope() : m_previous(::GetThreadLocale()) { ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~SystemLocaleScope() { ::SetThreadLocale(m_previous); }

private:
    LCID m_previous;
};

}  // namespace

COrvaneShellExtModule& Module() {
    static COrvaneShellExtModule module;
    return module;
}

std::wstring COrvaneShellExtModule::LoadText(UINT id) const {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(m_instance, id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

std::wstring COrvaneShellExtModule::FileName() const {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(m_instance, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) return name.substr(0, length);
        name.resize(name.size() * 2);
    }
}

HRESULT COrvaneShellExtModule::UpdateRegistry(bool registering) const {
    const SystemLocaleScope locale;
    const auto script = ParseRegistryScript(LoadRegistryScript(m_instance), FileName());
    if (!script) return E_UNEXPECTED;
    platform::Registry& registry = platform::SystemRegistry();
    const bool ok = registering ? RegisterExtension(*script, registry) : UnregisterExtension(*script, registry);
    return ok ? S_OK : (registering ? SELFREG_E_CLASS : E_FAIL);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        Module().Attach(instance);
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!::IsEqualCLSID(clsid, kClsidShellExtContextMenu)) return CLASS_E_CLASSNOTAVAILABLE;
    return ShellExtClassFactory().QueryInterface(iid, result);
}

STDAPI DllCanUnloadNow() {
    return Module().IsLocked() ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer() {
    return Module().UpdateRegistry(true);
}

STDAPI DllUnregisterServer() {
    return Module().UpdateRegistry(false);
}
