#include "Orvane/engine/protocol/Md5.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Hex(const Md5Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

// Bytes that differ from position to position, so a block mixed up with another shows.
std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

struct KnownDigest {
    std::string_view input;
    std::string_view digest;
};

}  // namespace

// ---- Known answers ------------------------------------------------------------------------

TEST(Md5, MatchesTheRfc1321TestSuite) {
    const KnownDigest cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& known : cases) {
        SCOPED_TRACE(std::string(known.input));
        EXPECT_EQ(Hex(Md5(Bytes(known.input))), known.digest);
    }
}

// The padding needs a second block from 56 bytes on; lengths around 56 and 64 mod 64 are where
// a wrong padding rule shows.
TEST(Md5, PadsEveryLengthAroundABlockBoundary) {
    const struct {
        std::size_t size;
        std::string_view digest;
    } cases[] = {
        {55, "52c0e574e1198de5fe3f8f11440dcb1b"},  {56, "46c9907fc908ee68b1e7b8e71286a518"},
        {57, "1c805dd236c35cab25fcb1bc73802c51"},  {63, "a62f6d59e837867693f042f5b8f5a236"},
        {64, "7160b8fb5e9e4023d549c3971fbaeead"},  {65, "70bd662e7aefbda85a0f7244167b7897"},
        {119, "e84905d4214f4d1ca56c2cdcc152b143"}, {120, "e3eb5a6c8669ea01a8c185b8abc8a5dc"},
        {127, "acce2474d6cc8302120d09c818d17ef7"}, {128, "10b2da1a82f16d99a81a7203fe9f02cb"},
        {129, "03fefbbcebe2959cf2270241aafe0250"},
    };
    for (const auto& known : cases) {
        SCOPED_TRACE(known.size);
        EXPECT_EQ(Hex(Md5(Pattern(known.size))), known.digest);
    }
}

TEST(Md5, HashesAMillionAsInOneCall) {
    const std::string input(1000000, 'a');
    EXPECT_EQ(Hex(Md5(Bytes(input))), "7707d6ae4e027c70eea2a935c2296f21");
}

// ---- Incremental use ----------------------------------------------------------------------

TEST(Md5, HashesAMillionFedInUnevenPieces) {
    const std::string input(1000000, 'a');
    CMd5 md5;
    std::string_view rest = input;
    for (std::size_t piece = 1; !rest.empty(); piece = piece % 200 + 37) {
        const std::size_t take = std::min(piece, rest.size());
        md5.Update(Bytes(rest.substr(0, take)));
        rest.remove_prefix(take);
    }
    EXPECT_EQ(Hex(md5.Final()), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5, GivesTheSameDigestWhereverTheInputIsSplit) {
    const std::vector<std::uint8_t> input = Pattern(200);
    const std::span<const std::uint8_t> all(input);
    const std::string whole = Hex(Md5(all));
    for (std::size_t first = 0; first <= input.size(); ++first) {
        for (std::size_t second : {std::size_t{0}, std::size_t{1}, std::size_t{63}, std::size_t{64}}) {
            SCOPED_TRACE(testing::Message() << "pieces of " << first << " and " << second);
            const std::size_t secondEnd = std::min(input.size(), first + second);
            CMd5 md5;
            md5.Update(all.subspan(0, first));
            md5.Update(all.subspan(first, secondEnd - first));
            md5.Update({});
            md5.Update(all.subspan(secondEnd));
            EXPECT_EQ(Hex(md5.Final()), whole);
        }
    }
}
