#include "Orvane/engine/tasks/ErrorText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Orvane/engine/tasks/EngineStrings.h"
#include "Orvane/engine/tasks/SecurityTexts.h"
#include "platform/ErrorCodes.h"
#include "platform/Strings.h"

namespace {

constexpr const wchar_t* kNoInformation = L"No additional information is available";

// Every code the engine reports has a title and a description of its own; everything else,
// the engine's own codes included, is unknown. The texts come from the program's string
// resources, so this also proves that the resource script is compiled and linked.
TEST(ErrorText, EachCodeHasItsTitleAndDescription) {
    for (std::uint32_t code : {995u, 10051u, 10052u, 10053u, 10054u, 10060u, 10061u, 10064u, 10065u, 11001u, 1113u,
                               2u, 32u, 8u, 1359u, 10040u}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(FormatErrorTitle(code).find(L"Unknown error"), std::wstring::npos);
        EXPECT_NE(FormatErrorDescription(code), kNoInformation);
    }
    for (std::uint32_t code : {0u, 6u, 11004u, 10050u}) {
        SCOPED_TRACE(code);
        EXPECT_NE(FormatErrorTitle(code).find(L"Unknown error"), std::wstring::npos);
        EXPECT_EQ(FormatErrorDescription(code), kNoInformation);
    }
    EXPECT_EQ(FormatErrorTitle(995), L"0x000003e3 Operation aborted");
    EXPECT_EQ(FormatErrorTitle(0xFFFFFFFFu), L"0xffffffff Unknown error");
    EXPECT_EQ(FormatErrorDescription(1113),
              L"A file or folder name contains characters that the system's ANSI code page cannot represent, "
              L"so it cannot be sent to the server unchanged. Rename it and try again.");
}

// Every failure of an encrypted connection names itself, and only a refused certificate leads to
// the question whether to trust it: a handshake that failed has nothing to trust.
TEST(ErrorText, TlsFailuresHaveTextsAndOnlyCertificateRefusalsAskForTrust) {
    const struct {
        int code;
        bool asksForTrust;
    } rows[] = {
        {platform::kErrorCertUntrustedRoot, true}, {platform::kErrorCertChaining, true},
        {platform::kErrorCertExpired, true},       {platform::kErrorCertNameMismatch, true},
        {platform::kErrorCertTrustFailure, true},  {platform::kErrorCertWrongUsage, true},
        {platform::kErrorCertSignature, true},     {platform::kErrorCertBasicConstraints, true},
        {platform::kErrorCertChanged, true},       {platform::kErrorTlsNotOffered, false},
        {platform::kErrorTlsAlgorithmMismatch, false}, {platform::kErrorTlsIllegalMessage, false},
        {platform::kErrorTlsInternal, false},      {platform::kErrorTlsMessageAltered, false},
        {platform::kErrorTlsDecryptFailure, false}, {platform::kErrorTlsTruncated, false},
    };
    for (const auto& row : rows) {
        const auto code = static_cast<std::uint32_t>(row.code);
        SCOPED_TRACE(testing::PrintToString(FormatErrorTitle(code)));
        EXPECT_EQ(FormatErrorTitle(code).find(L"Unknown error"), std::wstring::npos);
        EXPECT_NE(FormatErrorDescription(code), kNoInformation);
        EXPECT_EQ(IsCertificateRefusal(code), row.asksForTrust);
    }
    EXPECT_EQ(FormatErrorTitle(static_cast<std::uint32_t>(platform::kErrorCertChanged)), L"0xa00b0001 Certificate changed");
}

TEST(ErrorText, OtherEngineTextsKeepTheirLineBreaks) {
    EXPECT_EQ(platform::LoadText(EngineStrings::kConnectionSucceeded), L"Connection succeed.\r\n\r\n");
    EXPECT_EQ(platform::LoadText(12295), L"");  // the gap in the engine's numbers
}

}  // namespace
