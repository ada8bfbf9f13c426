#pragma once
#include <string>
#include <string_view>

#include "platform/TlsStream.h"

// What a TLS connection is, in one line for the trace and the transcript: the protocol, the
// cipher suite and the SHA-256 fingerprint of the server's certificate, as
// "TLS 1.3, TLS_AES_256_GCM_SHA384, SHA-256 AB:CD:...". Nothing secret.
std::wstring SecurityFacts(const platform::TlsStream& stream);

// A cipher suite's name as it may be shown: the characters such names are made of (letters,
// digits, "_", "-"), at most 64 of them; anything else the system put there is dropped (Wine's
// SChannel has been seen to hand over garbled names). "?" when nothing is left.
std::wstring CipherSuiteText(std::wstring_view name);
