#pragma once
// The Win32 event: a kernel event handle, which the socket backend waits on beside its own.
#include "platform/win32/Unique.h"

namespace platform {

struct EventImpl {
    win32::UniqueEvent handle;
};

}  // namespace platform
