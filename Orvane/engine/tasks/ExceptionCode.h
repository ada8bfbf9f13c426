#pragma once

// The error code for the exception being handled, for the catch (...) at the edge of a thread,
// past which nothing may escape (it would end the process): an int as it is, std::bad_alloc as
// 8 (not enough memory), anything else as 1359 (internal error). Call it only inside a handler.
int CurrentExceptionCode() noexcept;
