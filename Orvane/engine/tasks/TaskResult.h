#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPReply.h"
#include "platform/Tls.h"

// The outcome of one task: the last reply a command sequence returned or threw, the lines of
// the command/reply exchange, the error code that ended the task (0 for none), and the server's
// certificate when a TLS handshake got that far (so that a refused one can be shown). It crosses
// threads only as a heap object posted with the task's done message.
class CTaskResult {
public:
    CTaskResult() = default;
    CTaskResult(std::uint32_t errorCode, FTPReply reply, std::vector<std::wstring> transcript);
    CTaskResult(const CTaskResult&) = default;
    CTaskResult& operator=(const CTaskResult&) = default;
    virtual ~CTaskResult() = default;

    // The one rule every consumer decides by: no error code and a reply from 200 to 299.
    bool Succeeded() const;

    FTPReply reply;
    std::vector<std::wstring> transcript;
    std::uint32_t errorCode = 0;
    std::optional<platform::TlsCertificate> certificate;
};
