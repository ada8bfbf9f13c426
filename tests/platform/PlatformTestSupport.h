#pragma once
#include "platform/Event.h"

namespace platformtest {

constexpr platform::Millis kGenerous(10000);  // a limit that only a hang would reach

// Runs `action` and returns the int it throws, or 0 (no error's number) when it throws nothing.
template <class Action>
int ErrorOf(Action&& action) {
    try {
        action();
    } catch (int code) {
        return code;
    }
    return 0;
}

}  // namespace platformtest
