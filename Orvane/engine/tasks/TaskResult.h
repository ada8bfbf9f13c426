#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPReply.h"

// The outcome of one task: the last reply a command sequence returned or threw, the lines of
// the command/reply exchange, and the error code that ended the task (0 for none). It crosses
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
};
