#pragma once
// What the upload tests share: how one run of a sequence ended.
#include <optional>

#include "Orvane/engine/protocol/FTPReply.h"

namespace transfertest {

// The reply a run returned, or the error code or the refusal it threw.
struct Outcome {
    std::optional<FTPReply> reply;
    int error = 0;
    std::optional<FTPReply> refusal;
};

template <class Call>
Outcome OutcomeOf(Call&& call) {
    Outcome outcome;
    try {
        outcome.reply = call();
    } catch (int error) {
        outcome.error = error;
    } catch (const FTPReply& reply) {
        outcome.refusal = reply;
    }
    return outcome;
}

}  // namespace transfertest
