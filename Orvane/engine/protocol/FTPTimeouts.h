#pragma once
#include "platform/Time.h"

// Per-wait limits of the control connection: each send or receive wait is counted from its own
// start. Tests inject short ones.
struct FTPTimeouts {
    platform::Millis send{30000};
    platform::Millis receive{60000};
};
