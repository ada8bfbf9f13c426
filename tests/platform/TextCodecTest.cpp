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

INSTANTIATE_TEST_SUITE_P(BothPages, Windows1252,
                         ::testing::Values(CodePage::ThreadAnsi, CodePage::SystemAnsi),
                         [](const ::testing::TestParamInfo<CodePage>& page) {
                             return page.param == CodePage::ThreadAnsi ? "ThreadAnsi" : "SystemAnsi";
                         });

TEST_P(Windows1252, BytesMapToTheirCharacters) {
    struct Case { unsigned char byte; wchar_t character; };
    const Case cases[] = {
        {0x41, L'A'},     {0x7F, 0x007F},   {0x80, 0x20AC},  // euro sign
        {0x81, 0x0081},   {0x8D, 0x008D},   {0x8F, 0x008F},  // the five bytes 1252 leaves out
        {0x90, 0x0090},   {0x9D, 0x009D},   {0x8A, 0x0160},  // S with caron
        {0x99, 0x2122},   {0x9F, 0x0178},   {0xA0, 0x00A0},
        {0xE9, 0x00E9},   {0xFF, 0x00FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int(c.byte));
        const std::string byte(1, static_cast<char>(c.byte));
        EXPECT_EQ(FromAnsi(byte, GetParam()), std::wstring(1, c.character));
        EXPECT_EQ(ToAnsi(std::wstring(1, c.character), GetParam()), byte);
        EXPECT_EQ(ToAnsiExact(std::wstring(1, c.character), GetParam()), byte);
    }
}

TEST_P(Windows1252, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::wstring text = FromAnsi(all, GetParam());
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(ToAnsiExact(text, GetParam()), all);
    EXPECT_EQ(ToAnsi(text, GetParam()), all);
}

TEST_P(Windows1252, UnmappableCharactersBecomeQuestionMarksOrFailExactly) {
    EXPECT_EQ(ToAnsi(L"a\u4E2Db", GetParam()), "a?b");
    struct Case { const wchar_t* text; const char* why; };
    const Case refused[] = {
        {L"a\u4E2Db", "no counterpart at all"},
        {L"\u0100", "A with macron: only a best fit, which would name another file"},
        {L"\u0080", "a C1 control that 1252 gives another meaning"},
        {L"x\u2603", "snowman at the end"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(ToAnsiExact(c.text, GetParam()), std::nullopt);
    }
    // A question mark of the caller's own is no failure.
    EXPECT_EQ(ToAnsiExact(L"why?", GetParam()), "why?");
}

TEST_P(Windows1252, EmbeddedNulsAndEmptyTextSurvive) {
    const std::string bytes("a\0b", 3);
    EXPECT_EQ(FromAnsi(bytes, GetParam()), std::wstring(L"a\0b", 3));
    EXPECT_EQ(ToAnsi(std::wstring(L"a\0b", 3), GetParam()), bytes);
    EXPECT_EQ(FromAnsi("", GetParam()), L"");
    EXPECT_EQ(ToAnsi(L"", GetParam()), "");
    EXPECT_EQ(ToAnsiExact(L"", GetParam()), "");
}

TEST_P(Windows1252, CommandLineWithAccentsRoundTrips) {
    const std::wstring line = L"STOR r\u00E9sum\u00E9 \u20AC5 na\u00EFve.txt\r\n";
    std::optional<std::string> bytes = ToAnsiExact(line, GetParam());
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, "STOR r\xE9sum\xE9 \x80" "5 na\xEFve.txt\r\n");
    EXPECT_EQ(FromAnsi(*bytes, GetParam()), line);
}

// A server that offers UTF-8 (RFC 2640) gets names in it whatever the ANSI code page is.
TEST(Utf8, EveryCharacterHasItsBytesAndIllFormedTextFailsExactly) {
    struct Case { const wchar_t* text; const char* bytes; };
    const Case cases[] = {
        {L"caf\u00e9", "caf\xc3\xa9"},
        {L"\u03a9\u0416", "\xce\xa9\xd0\x96"},
        {L"\u4e2d\u6587", "\xe4\xb8\xad\xe6\x96\x87"},
        {L"\U0001F600", "\xf0\x9f\x98\x80"},  // a surrogate pair on Windows, one wchar_t elsewhere
        {L"\u20ac5 ?", "\xe2\x82\xac" "5 ?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(ToAnsiExact(c.text, CodePage::Utf8), c.bytes);
        EXPECT_EQ(ToAnsi(c.text, CodePage::Utf8), c.bytes);
        EXPECT_EQ(FromAnsi(c.bytes, CodePage::Utf8), c.text);
    }
    const wchar_t loneSurrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    EXPECT_EQ(ToAnsiExact(loneSurrogate, CodePage::Utf8), std::nullopt);
    EXPECT_EQ(FromAnsi("a\x80" "b", CodePage::Utf8), L"a\uFFFDb");
    EXPECT_EQ(FromAnsi("\xff", CodePage::Utf8), L"\uFFFD");
}

}  // namespace
