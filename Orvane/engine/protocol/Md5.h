#pragma once
#include <array>
#include <cstdint>
#include <span>

// MD5 message digest (RFC 1321). The one-time-password login is its only user; it is not meant
// for anything that needs collision resistance.
using Md5Digest = std::array<std::uint8_t, 16>;

// Digest of data fed in pieces of any size; Final ends the message and may be called once.
class CMd5 {
public:
    CMd5();
    void Update(std::span<const std::uint8_t> data);
    Md5Digest Final();

private:
    void Transform(const std::uint8_t* block);

    std::array<std::uint32_t, 4> m_state;
    std::array<std::uint8_t, 64> m_buffer{};
    std::uint64_t m_length = 0;  // bytes fed so far; m_length % 64 of them wait in m_buffer
};

Md5Digest Md5(std::span<const std::uint8_t> data);
