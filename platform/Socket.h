#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/Event.h"
#include "platform/Time.h"

namespace platform {

struct Ipv4Address {
    std::array<std::uint8_t, 4> octets{};  // octets[0] is the first byte on the wire
    bool operator==(const Ipv4Address&) const = default;
};

struct Endpoint {
    Ipv4Address address;
    std::uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
};

// A connected IPv4 TCP socket. Move-only; the destructor closes it gracefully (the peer sees
// the end of the stream after everything sent). Each open socket holds one start-up of the
// platform's socket library.
class Socket {
public:
    Socket() = default;
    explicit Socket(std::intptr_t native) : m_native(native) {}  // adopts an open socket
    Socket(Socket&& other) noexcept : m_native(other.Release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() { Close(); }

    bool IsOpen() const { return m_native != -1; }
    std::intptr_t Native() const { return m_native; }
    std::intptr_t Release() { std::intptr_t n = m_native; m_native = -1; return n; }

    void Close();          // graceful
    void CloseAbortive();  // reset: the peer must not take what arrived as a complete stream

private:
    std::intptr_t m_native = -1;
};

// Resolves a host name or dotted IPv4 text (8-bit, ANSI) to its first IPv4 address.
// Throws int: 11001 when the name does not resolve, or another resolver error.
Ipv4Address ResolveIpv4(const std::string& host);

// Connects to `to`. The wait ends with 995 when `abort` fires and 10060 after `limit`.
// Throws int: 995, 10060, 10061 (refused), or the system's number.
Socket ConnectTcp(const Endpoint& to, Event& abort, Millis limit);

// Sends all of `data`. Each wait for the socket ends with 995 when `abort` fires first and with
// 10060 after `limit`; data that the system has already taken count as sent even after an
// abort. Throws int.
void Send(Socket& socket, std::span<const char> data, Event& abort, Millis limit);

// Receives what is there, up to `into.size()` bytes, waiting when nothing is. Returns 0 when the
// peer closed the stream. Data already there are returned even after an abort. Throws int:
// 995, 10060, 10054 (reset), or the system's number.
std::size_t Receive(Socket& socket, std::span<char> into, Event& abort, Millis limit);

// The address of the other end of a connected socket. Throws int.
Endpoint PeerEndpoint(const Socket& socket);

}  // namespace platform
