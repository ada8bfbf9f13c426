// What the dialogs show, computed without windows: result texts, the waiting dots, the folder
// browser's paths and addresses.
#include <gtest/gtest.h>

#include "Orvane/engine/dialogs/DialogTexts.h"

namespace {

TEST(TaskResultText, FailureShowsTheTranscriptAndTheErrorTexts) {
    const CTaskResult refused(0, FTPReply{530, L"Login incorrect."},
                              {L"220 ready\r\n", L"", L"USER x\r\n", L"530 Login incorrect.\r\n"});
    EXPECT_EQ(TaskResultText(refused, L"H\r\n"), L"H\r\n220 ready\r\nUSER x\r\n530 Login incorrect.\r\n");

    const CTaskResult unresolved(11001, FTPReply{}, {});
    EXPECT_EQ(TaskResultText(unresolved, L"H\r\n"),
              L"H\r\n0x00002af9 Host not found\r\nNo such host is known.");

    // Class 2 and no error code: the heading alone, whatever the transcript holds.
    const CTaskResult fine(0, FTPReply{226, L"ok"}, {L"LIST\r\n"});
    EXPECT_EQ(TaskResultText(fine, L"H"), L"H");
}

TEST(WaitingText, GrowsToThirtyDotsThenStartsAgain) {
    std::wstring text = L"Getting folders";
    for (int tick = 1; tick <= 30; ++tick) {
        text = NextWaitingText(text, L"Getting folders");
        EXPECT_EQ(text, L"Getting folders" + std::wstring(static_cast<std::size_t>(tick), L'.'));
    }
    EXPECT_EQ(NextWaitingText(text, L"Getting folders"), L"Getting folders");
}

TEST(BrowsePath, GoingUpIsResolvedAndOtherPathsStay) {
    EXPECT_EQ(NormalizeBrowsePath(L"/pub/incoming/.."), L"/pub");
    EXPECT_EQ(NormalizeBrowsePath(L"/pub/.."), L"");
    EXPECT_EQ(NormalizeBrowsePath(L"pub/.."), L"");
    EXPECT_EQ(NormalizeBrowsePath(L"/.."), L"/..");  // three characters: left alone
    EXPECT_EQ(NormalizeBrowsePath(L"/pub/x.."), L"/pub/x..");
    EXPECT_EQ(NormalizeBrowsePath(L"/pub"), L"/pub");
}

TEST(BrowsePath, AddressNamesThePortOnlyWhenItIsNot21) {
    FTPSettings destination;
    destination.server = L"files.example";
    destination.directory = L"pub";
    EXPECT_EQ(FolderAddress(destination), L"ftp://files.example/pub");
    destination.port = 2121;
    destination.directory.clear();
    EXPECT_EQ(FolderAddress(destination), L"ftp://files.example:2121/");
}

}  // namespace
