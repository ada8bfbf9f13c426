#pragma once
#include <string>

#include "Orvane/engine/tasks/TaskResult.h"
#include "store/FTPSettings.h"

// The texts the engine's and the application's dialogs compute; plain functions, so that they
// are tested without windows.

// `heading`, and for a failed result every non-empty transcript line unchanged (they carry their
// own line ends), then, for an error code, its title, "\r\n" and its description; when the error
// refused the server's certificate, the certificate follows after an empty line.
std::wstring TaskResultText(const CTaskResult& result, const std::wstring& heading);

// What the user is asked before a certificate the result refused is trusted: the error's title
// (why it was refused), the certificate, and the question. Empty when the result refused no certificate.
std::wstring TrustQuestionText(const CTaskResult& result);

// The next text of a waiting entry that gains a dot a second: `base` again once the dots (from
// the first "." to the end) number thirty, else one dot more.
std::wstring NextWaitingText(const std::wstring& text, const std::wstring& base);

// A folder path as the browser stores it after a listing: "/pub/incoming/.." becomes "/pub", and
// "/pub/.." the empty login folder; any path not longer than three characters or not ending in
// "/.." is unchanged.
std::wstring NormalizeBrowsePath(const std::wstring& path);

// The scheme ("ftp://"; "ftpes://" where TLS is required, "ftps://" for implicit TLS) + server,
// ":" + port unless it is the scheme's own (21, or 990 for implicit TLS), then "/" + the starting
// folder.
std::wstring FolderAddress(const FTPSettings& destination);
