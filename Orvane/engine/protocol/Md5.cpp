#include "Orvane/engine/protocol/Md5.h"

#include <algorithm>
#include <bit>

namespace {

// Per-round shift amounts and the constants floor(2^32 * abs(sin(i + 1))) of RFC 1321, 3.4.
constexpr std::array<int, 64> kShift = {
    7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
    5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
    4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
    6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21,
};

constexpr std::array<std::uint32_t, 64> kSine = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// RFC 1321 is little-endian throughout, whatever the machine is.
std::uint32_t LoadLittle(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void StoreLittle(std::uint32_t value, std::uint8_t* p) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

CMd5::CMd5() : m_state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void CMd5::Transform(const std::uint8_t* block) {
    std::array<std::uint32_t, 16> x;
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = LoadLittle(block + 4 * i);

    std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (std::size_t i = 0; i < 64; ++i) {
        std::uint32_t f;
        std::size_t g;
        switch (i / 16) {
        case 0: f = (b & c) | (~b & d); g = i; break;
        case 1: f = (d & b) | (~d & c); g = (5 * i + 1) % 16; break;
        case 2: f = b ^ c ^ d; g = (3 * i + 5) % 16; break;
        default: f = c ^ (b | ~d); g = (7 * i) % 16; break;
        }
        std::uint32_t rotated = std::rotl(a + f + kSine[i] + x[g], kShift[i]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

void CMd5::Update(std::span<const std::uint8_t> data) {
    std::size_t held = static_cast<std::size_t>(m_length % 64);
    m_length += data.size();
    if (held > 0) {
        std::size_t take = std::min(data.size(), 64 - held);
        std::copy_n(data.begin(), take, m_buffer.begin() + static_cast<std::ptrdiff_t>(held));
        data = data.subspan(take);
        if (held + take < 64) return;
        Transform(m_buffer.data());
    }
    for (; data.size() >= 64; data = data.subspan(64)) Transform(data.data());
    std::copy(data.begin(), data.end(), m_buffer.begin());
}

Md5Digest CMd5::Final() {
    // Padding: one 1 bit, zeros up to 56 bytes mod 64, then the bit length (RFC 1321, 3.1-3.2).
    const std::uint64_t bits = m_length * 8;
    std::array<std::uint8_t, 64> padding{};
    padding[0] = 0x80;
    std::size_t held = static_cast<std::size_t>(m_length % 64);
    std::size_t padLength = held < 56 ? 56 - held : 120 - held;
    Update(std::span(padding).first(padLength));
    std::array<std::uint8_t, 8> lengthBytes;
    for (int i = 0; i < 8; ++i) lengthBytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    Update(lengthBytes);

    Md5Digest digest;
    for (std::size_t i = 0; i < 4; ++i) StoreLittle(m_state[i], digest.data() + 4 * i);
    return digest;
}

Md5Digest Md5(std::span<const std::uint8_t> data) {
    CMd5 md5;
    md5.Update(data);
    return md5.Final();
}
