#include "Orvane/engine/tasks/TaskResult.h"

#include <utility>

CTaskResult::CTaskResult(std::uint32_t errorCode_, FTPReply reply_, std::vector<std::wstring> transcript_)
    : reply(std::move(reply_)), transcript(std::move(transcript_)), errorCode(errorCode_) {}

// Integer division, as the reply classes are defined: 299 is class 2, -250 is not.
bool CTaskResult::Succeeded() const { return errorCode == 0 && reply.code / 100 == 2; }
