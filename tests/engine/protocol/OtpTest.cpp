#include "Orvane/engine/protocol/OtpResponse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>

#include "Orvane/engine/protocol/OtpWords.h"
#include "platform/ErrorCodes.h"
#include "platform/TextCodec.h"

namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Test vectors of RFC 2289, Appendix C, for MD5: the secret is the lower-cased seed followed by
// the pass phrase.
struct KnownResponse {
    std::string_view secret;
    int count;
    std::string_view response;
};

constexpr KnownResponse kRfc2289Md5[] = {
    {"testThis is a test.", 0, "INCH SEA ANNE LONG AHEM TOUR"},
    {"testThis is a test.", 1, "EASE OIL FUM CURE AWRY AVIS"},
    {"testThis is a test.", 99, "BAIL TUFT BITS GANG CHEF THY"},
    {"alpha1AbCdEfGhIjK", 0, "FULL PEW DOWN ONCE MORT ARC"},
    {"alpha1AbCdEfGhIjK", 1, "FACT HOOF AT FIST SITE KENT"},
    {"alpha1AbCdEfGhIjK", 99, "BODE HOP JAKE STOW JUT RAP"},
    {"correctOTP's are good", 0, "ULAN NEW ARMY FUSE SUIT EYED"},
    {"correctOTP's are good", 1, "SKIM CULT LOB SLAM POE HOWL"},
    {"correctOTP's are good", 99, "LONG IVY JULY AJAR BOND LEE"},
};

}  // namespace

// ---- The six words ------------------------------------------------------------------------

TEST(OtpSixWords, MatchesTheRfc2289Md5TestVectors) {
    for (const auto& known : kRfc2289Md5) {
        SCOPED_TRACE(testing::Message() << known.secret << ", count " << known.count);
        EXPECT_EQ(OtpSixWords(Bytes(known.secret), known.count), known.response);
    }
}

TEST(OtpSixWords, TreatsANegativeCountAsZero) {
    EXPECT_EQ(OtpSixWords(Bytes("testThis is a test."), -1), "INCH SEA ANNE LONG AHEM TOUR");
    EXPECT_EQ(OtpSixWords(Bytes("testThis is a test."), -100), "INCH SEA ANNE LONG AHEM TOUR");
}

// Every response is six dictionary words with single spaces between them, so it fits the 29
// characters a PASS argument may take.
TEST(OtpSixWords, IsSixDictionaryWordsOfAtMost29Characters) {
    const std::set<std::string_view> dictionary(kOtpWords.begin(), kOtpWords.end());
    std::size_t longest = 0;
    for (int count = 0; count < 300; ++count) {
        SCOPED_TRACE(count);
        const std::string response = OtpSixWords(Bytes("seedsecret"), count);
        longest = std::max(longest, response.size());
        EXPECT_LE(response.size(), 29u);
        std::size_t words = 0;
        std::string_view rest = response;
        while (true) {
            const std::size_t space = rest.find(' ');
            const std::string_view word = rest.substr(0, space);
            EXPECT_TRUE(dictionary.count(word)) << "\"" << word << "\" in \"" << response << "\"";
            ++words;
            if (space == std::string_view::npos) break;
            rest.remove_prefix(space + 1);
        }
        EXPECT_EQ(words, 6u) << response;
    }
    EXPECT_GT(longest, 24u);  // four-letter words do come up
}

// ---- Challenges in USER replies -----------------------------------------------------------

TEST(ComputeOtpResponse, AnswersOnlyAnOtpMd5Challenge) {
    const struct {
        std::wstring_view reply;
        std::string_view password;
        std::string_view expected;
    } cases[] = {
        // Recognised: six words.
        {L"331 otp-md5 99 TeSt ext\r\n", "This is a test.", "BAIL TUFT BITS GANG CHEF THY"},
        {L"331 Response to otp-md5 1 TeSt required.\r\n", "This is a test.",
         "EASE OIL FUM CURE AWRY AVIS"},
        {L"331 otp-md5 0 TeSt ext", "This is a test.", "INCH SEA ANNE LONG AHEM TOUR"},
        {L"331 otp-md5 0 CORRECT ext", "OTP's are good", "ULAN NEW ARMY FUSE SUIT EYED"},
        {L"331 otp-md4 5 abc otp-md5 99 correct", "OTP's are good", "LONG IVY JULY AJAR BOND LEE"},
        // A seed at the end of the line ends at CR, LF or the end of the text.
        {L"331 otp-md5 0 alpha1\r\n", "AbCdEfGhIjK", "FULL PEW DOWN ONCE MORT ARC"},
        {L"331 otp-md5 1 alpha1\n", "AbCdEfGhIjK", "FACT HOOF AT FIST SITE KENT"},
        {L"331 otp-md5 99 alpha1", "AbCdEfGhIjK", "BODE HOP JAKE STOW JUT RAP"},
        {L"331 otp-md5 99 t", "This is a test.", "SENT THE DEER YAWL SLEW MEMO"},
        // Broken challenges still get an answer (which the server refuses), computed without
        // reading past the text: no seed, or no sequence number either.
        {L"331 otp-md5 99 \r\n", "This is a test.", "NOOK CERN WILD TRAY HUSH EARL"},
        {L"331 otp-md5 99 ", "This is a test.", "NOOK CERN WILD TRAY HUSH EARL"},
        {L"331 otp-md5 99", "This is a test.", "SUCH OR VETO GREY HATE PA"},
        {L"331 otp-md5", "This is a test.", "SUCH OR VETO GREY HATE PA"},
        // The seed's first character is taken even when it is a space.
        {L"331 otp-md5 99  TeSt ext", "This is a test.", "TUNE LIND TRIO GUSH WITH ITEM"},
        // Not recognised: the password as it is.
        {L"331 OTP-MD5 99 TeSt ext\r\n", "This is a test.", "This is a test."},
        {L"331 Otp-Md5 99 TeSt ext\r\n", "This is a test.", "This is a test."},
        {L"331 otp-md4 99 TeSt ext\r\n", "This is a test.", "This is a test."},
        {L"331 s/key 99 TeSt\r\n", "This is a test.", "This is a test."},
        {L"331 otp-sha1 99 TeSt ext\r\n", "This is a test.", "This is a test."},
        {L"331 Password required for alice.\r\n", "secret", "secret"},
        {L"230 User logged in.\r\n", "", ""},
        {L"", "secret", "secret"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::ToAnsi(c.reply));
        EXPECT_EQ(ComputeOtpResponse(std::string(c.password), std::wstring(c.reply)), c.expected);
    }
}

TEST(ComputeOtpResponse, ReadsSequenceNumbersAsAServerWritesThem) {
    const std::string password = "AbCdEfGhIjK";
    const std::string atZero = OtpSixWords(Bytes("alpha1AbCdEfGhIjK"), 0);
    const std::string atOne = OtpSixWords(Bytes("alpha1AbCdEfGhIjK"), 1);
    const struct {
        std::wstring_view reply;
        const std::string& expected;
    } cases[] = {
        {L"331 otp-md5 0001 alpha1 ext", atOne},
        {L"331 otp-md5 +1 alpha1 ext", atOne},
        {L"331 otp-md5 1x alpha1 ext", atOne},
        {L"331 otp-md5 x1 alpha1 ext", atZero},
        {L"331 otp-md5 -7 alpha1 ext", atZero},
        {L"331 otp-md5  alpha1 ext", atZero},  // the sequence number is empty
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::ToAnsi(c.reply));
        EXPECT_EQ(ComputeOtpResponse(password, std::wstring(c.reply)), c.expected);
    }
}

// A hostile server must not keep the login thread hashing for hours.
TEST(ComputeOtpResponse, RefusesSequenceNumbersBeyondTheLimit) {
    const std::string password = "AbCdEfGhIjK";
    EXPECT_EQ(ComputeOtpResponse(password, L"331 otp-md5 9999 alpha1 ext"),
              OtpSixWords(Bytes("alpha1AbCdEfGhIjK"), 9999));
    for (const wchar_t* reply : {L"331 otp-md5 10000 alpha1 ext", L"331 otp-md5 2147483647 alpha1 ext",
                                 L"331 otp-md5 99999999999999999999 alpha1 ext"}) {
        SCOPED_TRACE(platform::ToAnsi(reply));
        try {
            ComputeOtpResponse(password, reply);
            ADD_FAILURE() << "answered";
        } catch (int code) {
            EXPECT_EQ(code, platform::kErrorInvalidParameter);
        }
    }
}

// The pass phrase reaches the hash as the bytes the user's code page gives it, as a server that
// shares the code page computes it.
TEST(ComputeOtpResponse, HashesAnAnsiPasswordAsItsBytes) {
    const std::string password = "p\xE4ss";  // "päss" in Windows-1252 and Latin-1
    if (platform::ToAnsi(platform::FromAnsi(password)) != password)
        GTEST_SKIP() << "the ANSI code page here has no single byte for 0xE4";
    EXPECT_EQ(ComputeOtpResponse(password, L"331 otp-md5 5 SEED ext\r\n"),
              "ANDY FRET GOOF AVE JOG STAR");
}
