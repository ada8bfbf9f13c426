#pragma once
#include <winsock2.h>

namespace platform::win32 {

// Starts Winsock once for the whole process and never cleans it up. Per-socket start-up and
// clean-up pairs are not safe: the last WSACleanup closes every socket the process still has,
// including those other threads are using, whose handle values are then reused. Throws int.
inline void StartWinsock() {
    static const int result = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (result != 0) throw result;
}

}  // namespace platform::win32
