#include "Orvane/engine/protocol/PassiveReply.h"

#include <gtest/gtest.h>

#include <string>

#include "Orvane/engine/protocol/FTPCommand.h"
#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"
#include "platform/ErrorCodes.h"
#include "platform/Socket.h"
#include "tests/engine/protocol/ProtocolTestSupport.h"
#include "tests/support/PyFtpdServer.h"

namespace {

struct Readable {
    std::wstring text;
    platform::Endpoint endpoint;
};

platform::Endpoint At(std::uint8_t h1, std::uint8_t h2, std::uint8_t h3, std::uint8_t h4, std::uint16_t port) {
    return {{{h1, h2, h3, h4}}, port};
}

// Reply texts for SCOPED_TRACE: ASCII as it is, everything else as its number.
std::string Printable(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else out += "\\x" + std::to_string(static_cast<unsigned long>(c));
    }
    return out;
}

// The error ParsePassiveReply throws for `text`, or -1 when it throws nothing.
int ErrorOf(const std::wstring& text) {
    try {
        ParsePassiveReply(text);
    } catch (int code) {
        return code;
    }
    return -1;
}

}  // namespace

// ---- Replies that give an address ---------------------------------------------------------

TEST(ParsePassiveReply, ReadsTheSixNumbersOfTheParentheses) {
    const Readable cases[] = {
        {L"227 Entering Passive Mode (192,168,1,2,19,137).\r\n", At(192, 168, 1, 2, 5001)},
        {L"227 Entering Passive Mode (127,0,0,1,0,21)\r\n", At(127, 0, 0, 1, 21)},
        {L"227 (0,0,0,0,0,0)", At(0, 0, 0, 0, 0)},
        {L"227 (255,255,255,255,255,255)", At(255, 255, 255, 255, 65535)},
        {L"227 (10,0,0,1,1,0)", At(10, 0, 0, 1, 256)},
        // white space and signs before a number are what "%d" accepts
        {L"227 ( 10, 1,\t2,\r\n3, +4, 5)", At(10, 1, 2, 3, 1029)},
        {L"227 (-0,+0,0,1,0,1)", At(0, 0, 0, 1, 1)},
        {L"227 (010,001,002,003,004,005)", At(10, 1, 2, 3, 1029)},
        {L"227 (0000000000000000000000000001,2,3,4,5,6)", At(1, 2, 3, 4, 1286)},
        // whatever follows the sixth number is not read
        {L"227 (1,2,3,4,5,6,7,8)", At(1, 2, 3, 4, 1286)},
        {L"227 (1,2,3,4,5,6x)", At(1, 2, 3, 4, 1286)},
        {L"227 (1,2,3,4,5,6 trailing words)", At(1, 2, 3, 4, 1286)},
        // the first "(" decides, whatever else the text holds
        {L"227 Entering (1,2,3,4,5,6) not (9,9,9,9,9,9)", At(1, 2, 3, 4, 1286)},
        {L"227 (1,2,3,4,5,6) ) ( )", At(1, 2, 3, 4, 1286)},
        {L"227 Entering Passive Mode (192,168,1,2,19,137\r\n", At(192, 168, 1, 2, 5001)},
        {std::wstring(L"227 (1,2,3,4,5,6)\0junk", 23), At(1, 2, 3, 4, 1286)},
        // without "(" the numbers start at the first digit after the code (RFC 1123, 4.1.2.6)
        {L"227 Entering Passive Mode 192,168,1,2,19,137\r\n", At(192, 168, 1, 2, 5001)},
        {L"227 Entering Passive Mode 192,168,1,2,19,137)\r\n", At(192, 168, 1, 2, 5001)},
        {L"227 Entering Passive Mode =127,0,0,1,4,1.\r\n", At(127, 0, 0, 1, 1025)},
        {L"227 +10,0,0,1,0,1", At(10, 0, 0, 1, 1)},
        {L"1,2,3,4,5,6)", At(1, 2, 3, 4, 1286)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.text));
        try {
            EXPECT_EQ(ParsePassiveReply(c.text), c.endpoint);
        } catch (int code) {
            ADD_FAILURE() << "threw " << code;
        }
    }
}

// ---- Replies that give none: 11004 --------------------------------------------------------

TEST(ParsePassiveReply, RejectsRepliesWithoutSixNumbers) {
    const std::wstring cases[] = {
        L"",
        L"227 Entering Passive Mode\r\n",
        L"227 Entering Passive Mode 1,2,3,4,5\r\n",
        L"227 Entering Passive Mode )192,168,1,2,19,137(\r\n",  // nothing after the "("
        L"227 Entering Passive Mode (see 192,168,1,2,19,137)\r\n",
        L"227 ()",
        L"227 (1,2,3,4,5)",
        L"227 (1,2,3,4,5,)",
        L"227 (1,2,3,4,5",
        L"227 (1,2,3,4,5 ,6)",  // "%d," allows no space before the comma
        L"227 (1;2;3;4;5;6)",
        L"227 (1.2.3.4.5.6)",
        L"227 (1,2,3,4,,5,6)",
        L"227 ((1,2,3,4,5,6))",
        L"227 (a,b,c,d,e,f)",
        L"227 (+,2,3,4,5,6)",
        L"227 (1,2,3,4,5,-)",
        L"227 (1,2,3,4)(5,6)",
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(Printable(text));
        EXPECT_EQ(ErrorOf(text), platform::kErrorNoData);
    }
}

// A number a byte cannot hold makes the address meaningless; it is refused rather than cut to
// a byte, which would aim the data connection at some other host or port.
TEST(ParsePassiveReply, RejectsNumbersOutsideAByte) {
    const std::wstring cases[] = {
        L"227 (256,0,0,1,4,1)",
        L"227 (127,0,0,1,256,1)",
        L"227 (127,0,0,1,4,256)",
        L"227 (127,0,0,1000,4,1)",
        L"227 (-1,0,0,1,4,1)",
        L"227 (127,0,0,1,-4,1)",
        L"227 (127,0,0,1,4,-255)",
        L"227 (4294967297,0,0,1,4,1)",  // 2^32 + 1 would wrap to 1 in 32 bits
        L"227 (127,0,0,1,4,18446744073709551617)",
        L"227 (127,0,0,1,4,-2147483648)",
        L"227 (127,0,0,1,4," + std::wstring(5000, L'9') + L")",
        L"227 Entering Passive Mode 256,0,0,1,4,1",
        L"227 Entering Passive Mode -1,0,0,1,4,1",
        L"227 Entering Passive Mode 127,0,0,1,4,300.",
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(Printable(text).substr(0, 60));
        EXPECT_EQ(ErrorOf(text), platform::kErrorNoData);
    }
}

// ---- A real server's reply ----------------------------------------------------------------

class PassiveReplyFromServer : public testsupport::FtpServerFixture {};

// pyftpdlib's 227 reply, parsed, names the port it listens on for the data connection.
TEST_F(PassiveReplyFromServer, GivesTheAddressTheServerListensOn) {
    platform::Event abort{platform::EventReset::Manual};
    CFTPControlConnection connection = protocoltest::Connect(Port(), abort);
    std::vector<std::wstring> transcript;
    CFTPCommandSequenceLogin(connection, abort, transcript, protocoltest::kTimeouts)
        .Run(Server().Settings().user, Server().Settings().password);

    CFTPCommand pasv("PASV");
    const FTPReply reply = pasv.Execute(connection, abort, protocoltest::kTimeouts);
    ASSERT_EQ(reply.code, 227) << Printable(reply.text);
    const platform::Endpoint data = ParsePassiveReply(reply.text);
    EXPECT_EQ(data.address, connection.Peer().address) << Printable(reply.text);
    EXPECT_NE(data.port, 0);
    EXPECT_NE(data.port, Port());

    platform::Socket socket = platform::ConnectTcp(data, abort, protocoltest::kTimeouts.receive);
    EXPECT_TRUE(socket.IsOpen());
}
