#pragma once
// What a file manager has in hand when it asks a context-menu handler for its items: the shell's
// data object for the selection. Shared by the menu host and the extension's tests.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

// Releases a COM interface at the end of its scope.
template <class T>
class Com {
public:
    Com() = default;
    ~Com() { Reset(); }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T* operator->() const { return m_pointer; }
    T* Get() const { return m_pointer; }
    void** Put() {
        Reset();
        return reinterpret_cast<void**>(&m_pointer);
    }
    void Reset() {
        if (m_pointer) m_pointer->Release();
        m_pointer = nullptr;
    }

private:
    T* m_pointer = nullptr;
};

// The shell's own data object for `names` in the folder `parent`; fails unless every name parses.
HRESULT ShellDataObject(const std::wstring& parent, const std::vector<std::wstring>& names, Com<IDataObject>& result);
