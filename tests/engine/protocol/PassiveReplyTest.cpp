#include "Orvane/engine/protocol/PassiveReply.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"
#include "tests/engine/protocol/ProtocolTestSupport.h"

// A number a byte cannot hold is refused rather than cut to a byte, which would aim the data
// connection at some other host or port.
TEST(ParsePassiveReply, ReadsSixNumbersOfAByteAndRefusesTheRest) {
    const platform::Endpoint refused{};
    const struct {
        std::wstring text;
        platform::Endpoint endpoint;
    } cases[] = {
        {L"227 Entering Passive Mode (192,168,1,2,19,137).\r\n", {{{192, 168, 1, 2}}, 5001}},
        {L"227 (255,255,255,255,255,255)", {{{255, 255, 255, 255}}, 65535}},
        // white space and signs before a number are what "%d" accepts
        {L"227 ( 10, 1,\t2,\r\n3, +4, 5)", {{{10, 1, 2, 3}}, 1029}},
        // the first "(" decides; whatever follows the sixth number is not read
        {L"227 Entering (1,2,3,4,5,6) not (9,9,9,9,9,9)", {{{1, 2, 3, 4}}, 1286}},
        {L"227 Entering Passive Mode (192,168,1,2,19,137\r\n", {{{192, 168, 1, 2}}, 5001}},
        // without "(" the numbers start at the first digit after the code (RFC 1123, 4.1.2.6)
        {L"227 Entering Passive Mode 192,168,1,2,19,137\r\n", {{{192, 168, 1, 2}}, 5001}},
        {L"227 Entering Passive Mode =127,0,0,1,4,1.\r\n", {{{127, 0, 0, 1}}, 1025}},
        {L"", refused},
        {L"227 Entering Passive Mode\r\n", refused},
        {L"227 Entering Passive Mode 1,2,3,4,5\r\n", refused},
        {L"227 Entering Passive Mode (see 192,168,1,2,19,137)\r\n", refused},
        {L"227 (1,2,3,4,5 ,6)", refused},  // "%d," allows no space before the comma
        {L"227 (256,0,0,1,4,1)", refused},
        {L"227 (127,0,0,1,4,-255)", refused},
        {L"227 (4294967297,0,0,1,4,1)", refused},  // 2^32 + 1 would wrap to 1 in 32 bits
        {L"227 (127,0,0,1,4," + std::wstring(5000, L'9') + L")", refused},
        {L"227 Entering Passive Mode 127,0,0,1,4,300.", refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::ToAnsi(c.text).substr(0, 60));
        platform::Endpoint parsed{};
        EXPECT_EQ(protocoltest::ErrorOf([&] { parsed = ParsePassiveReply(c.text); }),
                  c.endpoint == refused ? platform::kErrorNoData : 0);
        EXPECT_EQ(parsed, c.endpoint);
    }
}
