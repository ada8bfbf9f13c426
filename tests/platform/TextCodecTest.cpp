#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::CodePage;
using platform::FromAnsi;
using platform::ToAnsi;
using platform::ToAnsiExact;

// The tests expect Windows-1252, the code page of a western Windows, of Wine in an English
// locale, and of the POSIX backend. Elsewhere they say so and stop.
class Windows1252 : public ::testing::TestWithParam<CodePage> {
protected:
    void SetUp() override {
        if (FromAnsi("\x80", GetParam()) != L"\u20AC") GTEST_SKIP() << "the ANSI code page is not 1252";
    }
};

INSTANTIATE_TEST_SUITE_P(ThreadAndSystemAnsi, Windows1252,
                         ::testing::Values(CodePage::ThreadAnsi, CodePage::SystemAnsi));

TEST_P(Windows1252, EveryByteHasItsCharacterAndBackAndOthersFailExactly) {
    struct Case { unsigned char byte; wchar_t character; };
    const Case cases[] = {
        {0x41, L'A'},     {0x7F, 0x007F},   {0x80, 0x20AC},  // euro sign
        {0x81, 0x0081},   {0x8D, 0x008D},   {0x8F, 0x008F},  // the five bytes 1252 leaves out
        {0x90, 0x0090},   {0x9D, 0x009D},   {0x8A, 0x0160},  // S with caron
        {0x99, 0x2122},   {0x9F, 0x0178},   {0xA0, 0x00A0},
        {0xE9, 0x00E9},   {0xFF, 0x00FF},   {0x00, 0x0000},  // a NUL inside the text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int(c.byte));
        const std::string bytes{'a', static_cast<char>(c.byte), 'b'};
        const std::wstring text{L'a', c.character, L'b'};
        EXPECT_EQ(FromAnsi(bytes, GetParam()), text);
        EXPECT_EQ(ToAnsi(text, GetParam()), bytes);
        EXPECT_EQ(ToAnsiExact(text, GetParam()), bytes);
    }
    // A best fit would name another file: only the exact conversion may name one.
    EXPECT_EQ(ToAnsi(L"a\u4E2Db", GetParam()), "a?b");
    // No counterpart at all; A with macron (only a best fit); a C1 control that 1252 gives another
    // meaning; a snowman at the end.
    for (const wchar_t* refused : {L"a\u4E2Db", L"\u0100", L"\u0080", L"x\u2603"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(refused)));
        EXPECT_EQ(ToAnsiExact(refused, GetParam()), std::nullopt);
    }
    EXPECT_EQ(ToAnsiExact(L"why?", GetParam()), "why?");  // a question mark of the caller's own
}

// A server that offers UTF-8 (RFC 2640) gets names in it whatever the ANSI code page is; what is
// not UTF-8 never goes out as if it were.
TEST(Utf8, IllFormedTextFailsExactly) {
    EXPECT_EQ(ToAnsiExact(L"\U0001F600", CodePage::Utf8), "\xf0\x9f\x98\x80");  // a surrogate pair on Windows
    const wchar_t loneSurrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    EXPECT_EQ(ToAnsiExact(loneSurrogate, CodePage::Utf8), std::nullopt);
    EXPECT_EQ(FromAnsi("a\x80" "b", CodePage::Utf8), L"a\uFFFDb");
    EXPECT_EQ(FromAnsi("\xff", CodePage::Utf8), L"\uFFFD");
}

}  // namespace
