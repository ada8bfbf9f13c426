#pragma once
#include <winsock2.h>

namespace platform::win32 {

// One WSAStartup, balanced by one WSACleanup unless Keep() hands it to a socket that was
// opened with it: each open socket holds one start-up, and Socket::Close gives it back.
class WinsockStartup {
public:
    WinsockStartup() {
        WSADATA data;
        if (int result = ::WSAStartup(MAKEWORD(2, 2), &data); result != 0) throw result;
    }
    ~WinsockStartup() {
        if (m_held) ::WSACleanup();
    }
    WinsockStartup(const WinsockStartup&) = delete;
    WinsockStartup& operator=(const WinsockStartup&) = delete;

    void Keep() { m_held = false; }

private:
    bool m_held = true;
};

}  // namespace platform::win32
