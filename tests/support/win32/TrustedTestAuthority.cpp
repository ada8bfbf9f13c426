#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>

#include "platform/win32/Unique.h"
#include "tests/support/TlsTestServer.h"

namespace testsupport {

namespace {

// The current user's root store. On Windows adding to it asks the user; Wine just does it, into
// the test's private prefix.
platform::win32::UniqueCertificateStore OpenRoots() {
    return platform::win32::UniqueCertificateStore(
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root"));
}

}  // namespace

TrustedTestAuthority::TrustedTestAuthority(const std::filesystem::path& caFolder) {
    std::ifstream in(caFolder / "ca.der", std::ios::binary);
    m_der.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto store = OpenRoots();
    if (!store || !::CertAddEncodedCertificateToStore(store.Get(), X509_ASN_ENCODING, m_der.data(),
                                                      static_cast<DWORD>(m_der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                      nullptr))
        throw static_cast<int>(::GetLastError());
}

TrustedTestAuthority::~TrustedTestAuthority() {
    const platform::win32::UniqueCertificate added(
        ::CertCreateCertificateContext(X509_ASN_ENCODING, m_der.data(), static_cast<DWORD>(m_der.size())));
    const auto store = OpenRoots();
    if (!added || !store) return;
    // CertDeleteCertificateFromStore frees the context it is given.
    if (PCCERT_CONTEXT found =
            ::CertFindCertificateInStore(store.Get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, added.Get(), nullptr))
        ::CertDeleteCertificateFromStore(found);
}

bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace testsupport
