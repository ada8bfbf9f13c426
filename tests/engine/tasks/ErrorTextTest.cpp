#include "Orvane/engine/tasks/ErrorText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Orvane/engine/tasks/EngineStrings.h"
#include "Orvane/engine/tasks/SecurityTexts.h"
#include "platform/ErrorCodes.h"
#include "platform/Strings.h"

namespace {

struct Row {
    std::uint32_t code;
    const wchar_t* title;
    const wchar_t* description;
};

// The texts users see, exactly; they come from the program's string resources, so this also
// proves that the resource script is compiled and linked into a program that uses the engine.
const Row kRows[] = {
    {995, L"0x000003e3 Operation aborted", L"An operation was canceled."},
    {10051, L"0x00002743 Network is unreachable",
     L"This usually means the local software knows no route to reach the remote host."},
    {10052, L"0x00002744 Network dropped connection on reset",
     L"The connection has been broken due to keep-alive activity detecting a failure while the "
     L"operation was in progress."},
    {10053, L"0x00002745 Software caused connection abort",
     L"An established connection was aborted by the software in your host computer, possibly due "
     L"to a data transmission time-out or protocol error."},
    {10054, L"0x00002746 Connection reset by peer",
     L"An existing connection was forcibly closed by the remote host. This normally results if the "
     L"peer application on the remote host is suddenly stopped, the host is rebooted, the host or "
     L"remote network interface is disabled"},
    {10060, L"0x0000274c Connection timed out",
     L"A connection attempt failed because the connected party did not properly respond after a "
     L"period of time, or the established connection failed because the connected host has failed "
     L"to respond."},
    {10061, L"0x0000274d Connection refused",
     L"No connection could be made because the target computer actively refused it. This usually "
     L"results from trying to connect to a service that is inactive on the foreign host\u2014that "
     L"is, one with no server application running."},
    {10064, L"0x00002750 Host is down", L"A socket operation failed because the destination host is down."},
    {10065, L"0x00002751 No route to host", L"A socket operation was attempted to an unreachable host."},
    {11001, L"0x00002af9 Host not found", L"No such host is known."},
    {1113, L"0x00000459 Name not representable",
     L"A file or folder name contains characters that the system's ANSI code page cannot represent, "
     L"so it cannot be sent to the server unchanged. Rename it and try again."},
    {2, L"0x00000002 File not found", L"The local file no longer exists, or its folder was moved or renamed."},
    {32, L"0x00000020 File in use",
     L"The local file cannot be read because another program has it open for writing."},
    {8, L"0x00000008 Not enough memory", L"There was not enough memory to complete the operation."},
    {1359, L"0x0000054f Internal error",
     L"An unexpected condition inside the program ended the operation. Trying again may help."},
    {10040, L"0x00002738 Listing too long",
     L"The server sent a folder listing of more than 64 MiB, so it was not read to its end. The folder may "
     L"hold too many entries, or the server may keep sending without end."},
    // Everything else falls to the last row, the engine's own codes included.
    {0, L"0x00000000 Unknown error", L"No additional information is available"},
    {6, L"0x00000006 Unknown error", L"No additional information is available"},
    {11004, L"0x00002afc Unknown error", L"No additional information is available"},
    {10050, L"0x00002742 Unknown error", L"No additional information is available"},
    {0xFFFFFFFFu, L"0xffffffff Unknown error", L"No additional information is available"},
};

TEST(ErrorText, EachCodeHasItsTitleAndDescription) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(FormatErrorTitle(row.code), row.title);
        EXPECT_EQ(FormatErrorDescription(row.code), row.description);
    }
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
        EXPECT_NE(FormatErrorDescription(code), L"No additional information is available");
        EXPECT_EQ(IsCertificateRefusal(code), row.asksForTrust);
    }
    EXPECT_EQ(FormatErrorTitle(static_cast<std::uint32_t>(platform::kErrorCertChanged)), L"0xa00b0001 Certificate changed");
    EXPECT_NE(FormatErrorDescription(static_cast<std::uint32_t>(platform::kErrorCertChanged))
                  .find(L"the server's certificate has changed"),
              std::wstring::npos);
}

TEST(ErrorText, OtherEngineTextsKeepTheirLineBreaks) {
    EXPECT_EQ(platform::LoadText(EngineStrings::kConnectionSucceeded), L"Connection succeed.\r\n\r\n");
    EXPECT_EQ(platform::LoadText(EngineStrings::kConnectionFailed), L"Connection failed. See below\r\n\r\n");
    EXPECT_EQ(platform::LoadText(EngineStrings::kGettingFolders), L"Getting folders");
    EXPECT_EQ(platform::LoadText(EngineStrings::kFolders), L"Folders");
    EXPECT_EQ(platform::LoadText(EngineStrings::kParentFolder), L"..");
}

TEST(ErrorText, UnknownResourceIsEmpty) {
    EXPECT_EQ(platform::LoadText(12295), L"");  // the gap in the engine's numbers
}

}  // namespace
