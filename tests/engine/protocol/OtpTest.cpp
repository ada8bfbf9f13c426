#include "Orvane/engine/protocol/OtpResponse.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"
#include "tests/engine/protocol/ProtocolTestSupport.h"

// Answers from the MD5 test vectors of RFC 2289 (appendix C); a seed is lower-cased before it
// is hashed with the pass phrase.
TEST(ComputeOtpResponse, AnswersOnlyAnOtpMd5Challenge) {
    const struct {
        const wchar_t* reply;
        std::string password;
        const char* expected;
    } cases[] = {
        {L"331 otp-md5 0 TeSt ext", "This is a test.", "INCH SEA ANNE LONG AHEM TOUR"},
        {L"331 Response to otp-md5 1 TeSt required.\r\n", "This is a test.", "EASE OIL FUM CURE AWRY AVIS"},
        {L"331 otp-md4 5 abc otp-md5 99 correct", "OTP's are good", "LONG IVY JULY AJAR BOND LEE"},
        // a seed at the end of the line ends at CR, LF or the end of the text
        {L"331 otp-md5 0 alpha1\r\n", "AbCdEfGhIjK", "FULL PEW DOWN ONCE MORT ARC"},
        {L"331 otp-md5 1 alpha1\n", "AbCdEfGhIjK", "FACT HOOF AT FIST SITE KENT"},
        {L"331 otp-md5 99 alpha1", "AbCdEfGhIjK", "BODE HOP JAKE STOW JUT RAP"},
        // secrets of 55, 56 and 64 bytes with the seed, where MD5's padding takes a second block
        // (answers computed independently with Python's hashlib)
        {L"331 otp-md5 1 seed ext", "012345678901234567890123456789012345678901234567890", "LUCK KENO ALLY MORN JIVE FEND"},
        {L"331 otp-md5 1 seed ext", "0123456789012345678901234567890123456789012345678901", "CENT FUND SEAM NODE SAVE SUE"},
        {L"331 otp-md5 1 seed ext", "012345678901234567890123456789012345678901234567890123456789",
         "ICY TEE FAR GALA SEEM ASKS"},
        // sequence numbers as a server writes them; a negative one counts as zero
        {L"331 otp-md5 0001 alpha1 ext", "AbCdEfGhIjK", "FACT HOOF AT FIST SITE KENT"},
        {L"331 otp-md5 x1 alpha1 ext", "AbCdEfGhIjK", "FULL PEW DOWN ONCE MORT ARC"},
        {L"331 otp-md5 -7 alpha1 ext", "AbCdEfGhIjK", "FULL PEW DOWN ONCE MORT ARC"},
        // broken challenges get an answer (which the server refuses) without reading past the text
        {L"331 otp-md5 99 \r\n", "This is a test.", "NOOK CERN WILD TRAY HUSH EARL"},
        {L"331 otp-md5", "This is a test.", "SUCH OR VETO GREY HATE PA"},
        // not recognised: the password as it is
        {L"331 OTP-MD5 99 TeSt ext\r\n", "This is a test.", "This is a test."},
        {L"331 otp-md4 99 TeSt ext\r\n", "This is a test.", "This is a test."},
        {L"331 Password required for alice.\r\n", "secret", "secret"},
        {L"", "secret", "secret"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::ToAnsi(c.reply));
        EXPECT_EQ(ComputeOtpResponse(c.password, c.reply), c.expected);
    }
}

// A hostile server must not keep the login thread hashing for hours.
TEST(ComputeOtpResponse, RefusesSequenceNumbersBeyondTheLimit) {
    using protocoltest::ErrorOf;
    EXPECT_EQ(ErrorOf([] { ComputeOtpResponse("AbCdEfGhIjK", L"331 otp-md5 9999 alpha1 ext"); }), 0);
    EXPECT_EQ(ErrorOf([] { ComputeOtpResponse("AbCdEfGhIjK", L"331 otp-md5 10000 alpha1 ext"); }),
              platform::kErrorInvalidParameter);
    EXPECT_EQ(ErrorOf([] { ComputeOtpResponse("x", L"331 otp-md5 99999999999999999999 alpha1 ext"); }),
              platform::kErrorInvalidParameter);
}

// The pass phrase reaches the hash as the bytes the user's code page gives it, as a server that
// shares the code page computes it.
TEST(ComputeOtpResponse, HashesAnAnsiPasswordAsItsBytes) {
    const std::string password = "p\xE4ss";  // "päss" in Windows-1252 and Latin-1
    if (platform::ToAnsi(platform::FromAnsi(password)) != password)
        GTEST_SKIP() << "the ANSI code page here has no single byte for 0xE4";
    EXPECT_EQ(ComputeOtpResponse(password, L"331 otp-md5 5 SEED ext\r\n"), "ANDY FRET GOOF AVE JOG STAR");
}
