#pragma once
#include <windows.h>

#include <atomic>
#include <string>

// The loaded library: its instance, and the lock count that DllCanUnloadNow reads. Every object
// alive, every reference to the class factory and every LockServer(TRUE) holds one lock.
class COrvaneShellExtModule {
public:
    void Attach(HINSTANCE instance) { m_instance = instance; }
    HINSTANCE Instance() const { return m_instance; }

    void Lock() { ++m_locks; }
    void Unlock() { --m_locks; }
    bool IsLocked() const { return m_locks > 0; }

    std::wstring LoadText(UINT id) const;
    // The library's full file name as the system reports it.
    std::wstring FileName() const;
    // Writes the registry entries of the module's registry script machine-wide, or for the user
    // alone where the machine's classes cannot be written; or removes them from both.
    HRESULT UpdateRegistry(bool registering) const;

private:
    HINSTANCE m_instance = nullptr;
    std::atomic<long> m_locks{0};  // objects may live on several file-manager threads
};

COrvaneShellExtModule& Module();
