#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>

#include "platform/win32/Unique.h"
#include "tests/support/TlsTestServer.h"

namespace testsupport {

// In the current user's root store. On Windows adding to it asks the user; Wine just does it, into
// the test's private prefix.
TrustedTestAuthority::TrustedTestAuthority(const std::filesystem::path& caFolder) {
    std::ifstream in(caFolder / "ca.der", std::ios::binary);
    std::vector<unsigned char> der{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const platform::win32::UniqueCertificateStore store(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root"));
    PCCERT_CONTEXT added = nullptr;
    if (!store || !::CertAddEncodedCertificateToStore(store.Get(), X509_ASN_ENCODING, der.data(),
                                                      static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                      &added))
        throw static_cast<int>(::GetLastError());
    m_added = added;
}

// The context keeps its store open; deleting it frees it.
TrustedTestAuthority::~TrustedTestAuthority() {
    ::CertDeleteCertificateFromStore(static_cast<PCCERT_CONTEXT>(m_added));
}

bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace testsupport
