#pragma once
#include <cstdint>
#include <string>

#include "platform/Tls.h"
#include "platform/TlsStream.h"

// The texts that show what protects a connection, for the transcript, the trace and the
// dialogs. Plain functions over the facts, so that they are tested without servers or windows.

// The transcript's line after a handshake: the protocol, the cipher suite, the certificate's
// SHA-256 fingerprint and why the certificate was accepted, with its CR LF.
std::wstring SecuredConnectionText(const platform::TlsStream& stream);

// The certificate as the user is shown it before trusting it: subject, issuer, validity (UTC)
// and SHA-256 fingerprint, one line each with CR LF. Control characters in the names are shown
// as blanks, so that a name cannot forge a line of its own.
std::wstring CertificateText(const platform::TlsCertificate& certificate);

// "2025-06-01 12:00:00 UTC"; "?" for a time outside the years 1 to 9999.
std::wstring UtcTimeText(std::chrono::sys_seconds time);

// Whether the error refused the server's certificate (not the connection or the handshake): the
// user may then look at the certificate and choose to trust it.
bool IsCertificateRefusal(std::uint32_t errorCode);
