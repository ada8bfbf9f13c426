#pragma once
// Owners for Win32 handles and sockets. Each kind carries its own invalid value, because the
// API is not uniform: CreateEventW fails with null, CreateFileW with INVALID_HANDLE_VALUE, and
// WSASocketW with INVALID_SOCKET. The close functions appear nowhere but here.
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include <utility>

namespace platform::win32 {

struct InvalidIsNull {
    static HANDLE Value() noexcept { return nullptr; }
};
struct InvalidIsMinusOne {
    static HANDLE Value() noexcept { return INVALID_HANDLE_VALUE; }
};
struct InvalidSocket {
    static SOCKET Value() noexcept { return INVALID_SOCKET; }
};
template <class Pointer>
struct InvalidIsNullPointer {
    static Pointer Value() noexcept { return nullptr; }
};

template <class T, class Invalid, auto CloseFunction>
class Unique {
public:
    Unique() = default;
    explicit Unique(T value) noexcept : m_value(value) {}
    Unique(Unique&& other) noexcept : m_value(other.Release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { Reset(); }

    T Get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return m_value != Invalid::Value(); }

    // Gives up ownership without closing.
    T Release() noexcept { return std::exchange(m_value, Invalid::Value()); }

    // Closes what is owned, then owns `value`.
    void Reset(T value = Invalid::Value()) noexcept {
        T old = std::exchange(m_value, value);
        if (old != Invalid::Value()) CloseFunction(old);
    }

    // For out-parameters: closes what is owned and lets the callee write the new value.
    T* Put() noexcept {
        Reset();
        return &m_value;
    }

private:
    T m_value = Invalid::Value();
};

using UniqueEvent = Unique<HANDLE, InvalidIsNull, &::CloseHandle>;       // CreateEventW
using UniqueFile = Unique<HANDLE, InvalidIsMinusOne, &::CloseHandle>;    // CreateFileW
using UniqueSocket = Unique<SOCKET, InvalidSocket, &::closesocket>;      // WSASocketW, accept
using UniqueFind = Unique<HANDLE, InvalidIsMinusOne, &::FindClose>;      // FindFirstFileW
using UniqueHandle = Unique<HANDLE, InvalidIsNull, &::CloseHandle>;     // CreateProcessW's handles
using UniqueCertificate =                                                // QueryContextAttributesW
    Unique<PCCERT_CONTEXT, InvalidIsNullPointer<PCCERT_CONTEXT>, &::CertFreeCertificateContext>;
using UniqueCertificateChain =                                           // CertGetCertificateChain
    Unique<PCCERT_CHAIN_CONTEXT, InvalidIsNullPointer<PCCERT_CHAIN_CONTEXT>, &::CertFreeCertificateChain>;
inline void CloseCertificateStore(HCERTSTORE store) noexcept { ::CertCloseStore(store, 0); }
using UniqueCertificateStore = Unique<HCERTSTORE, InvalidIsNull, &CloseCertificateStore>;  // CertOpenStore

}  // namespace platform::win32
