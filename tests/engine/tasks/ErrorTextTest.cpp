#include "Orvane/engine/tasks/ErrorText.h"

#include <gtest/gtest.h>

#include <algorithm>
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
// resources, so this also proves that the resource script is compiled and linked. Only a
// refused certificate leads to the question whether to trust it: a failed handshake has
// nothing to trust.
TEST(ErrorText, EachCodeHasItsTitleAndDescriptionAndOnlyCertificateRefusalsAskForTrust) {
    using namespace platform;
    const std::vector<int> refusals{kErrorCertUntrustedRoot, kErrorCertChaining,     kErrorCertExpired,
                                    kErrorCertNameMismatch,  kErrorCertTrustFailure, kErrorCertWrongUsage,
                                    kErrorCertSignature,     kErrorCertBasicConstraints, kErrorCertChanged};
    std::vector<int> known{995,  10051, 10052, 10053, 10054, 10060, 10061, 10064, 10065, 11001, 1113, 2, 32, 8, 1359,
                           10040, kErrorTlsNotOffered, kErrorTlsAlgorithmMismatch, kErrorTlsIllegalMessage,
                           kErrorTlsInternal, kErrorTlsMessageAltered, kErrorTlsDecryptFailure, kErrorTlsTruncated};
    known.insert(known.end(), refusals.begin(), refusals.end());
    for (int code : known) {
        const auto error = static_cast<std::uint32_t>(code);
        SCOPED_TRACE(testing::PrintToString(FormatErrorTitle(error)));
        EXPECT_EQ(FormatErrorTitle(error).find(L"Unknown error"), std::wstring::npos);
        EXPECT_NE(FormatErrorDescription(error), kNoInformation);
        EXPECT_EQ(IsCertificateRefusal(error), std::count(refusals.begin(), refusals.end(), code) == 1);
    }
    for (std::uint32_t code : {0u, 6u, 11004u, 10050u}) {
        SCOPED_TRACE(code);
        EXPECT_NE(FormatErrorTitle(code).find(L"Unknown error"), std::wstring::npos);
        EXPECT_EQ(FormatErrorDescription(code), kNoInformation);
    }
    EXPECT_EQ(FormatErrorTitle(995), L"0x000003e3 Operation aborted");
    EXPECT_EQ(FormatErrorTitle(0xFFFFFFFFu), L"0xffffffff Unknown error");
    // Line breaks survive the resource compiler.
    EXPECT_EQ(platform::LoadText(EngineStrings::kConnectionSucceeded), L"Connection succeed.\r\n\r\n");
}

}  // namespace
