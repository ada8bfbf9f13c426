#pragma once
#include <windows.h>

#include <optional>

#include "Orvane/engine/tasks/TaskResult.h"
#include "platform/Tls.h"

// When `result` failed because the server's certificate was refused, shows the certificate and
// asks (a modal message box owned by `owner`, No by default) whether to trust it for the
// destination. The fingerprint to keep with the destination on Yes; nothing on No, or when the
// result refused no certificate. For the dialogs where the user edits the destination; an upload
// never asks.
std::optional<platform::Sha256Fingerprint> AskToTrustCertificate(HWND owner, const CTaskResult& result);
