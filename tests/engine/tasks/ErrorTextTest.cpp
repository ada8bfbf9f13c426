#include "Orvane/engine/tasks/ErrorText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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
    using namespace platform;
    for (const bool refusal : {true, false}) {
        for (int code : refusal ? std::vector<int>{kErrorCertUntrustedRoot, kErrorCertChaining, kErrorCertExpired,
                                                   kErrorCertNameMismatch, kErrorCertTrustFailure, kErrorCertWrongUsage,
                                                   kErrorCertSignature, kErrorCertBasicConstraints, kErrorCertChanged}
                                : std::vector<int>{kErrorTlsNotOffered, kErrorTlsAlgorithmMismatch,
                                                   kErrorTlsIllegalMessage, kErrorTlsInternal, kErrorTlsMessageAltered,
                                                   kErrorTlsDecryptFailure, kErrorTlsTruncated}) {
            const auto error = static_cast<std::uint32_t>(code);
            SCOPED_TRACE(testing::PrintToString(FormatErrorTitle(error)));
            EXPECT_EQ(FormatErrorTitle(error).find(L"Unknown error"), std::wstring::npos);
            EXPECT_NE(FormatErrorDescription(error), kNoInformation);
            EXPECT_EQ(IsCertificateRefusal(error), refusal);
        }
    }
    EXPECT_EQ(FormatErrorTitle(static_cast<std::uint32_t>(kErrorCertChanged)), L"0xa00b0001 Certificate changed");
}

TEST(ErrorText, OtherEngineTextsKeepTheirLineBreaks) {
    EXPECT_EQ(platform::LoadText(EngineStrings::kConnectionSucceeded), L"Connection succeed.\r\n\r\n");
    EXPECT_EQ(platform::LoadText(12295), L"");  // the gap in the engine's numbers
}

}  // namespace
