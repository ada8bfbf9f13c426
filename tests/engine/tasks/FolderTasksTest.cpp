#include "Orvane/engine/tasks/FTPEngine.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "Orvane/engine/tasks/TaskMessages.h"
#include "tests/engine/tasks/TaskTestSupport.h"
#include "tests/engine/tasks/UploadTestSupport.h"
#include "tests/support/TestListener.h"

namespace {

using namespace uploadtest;

constexpr platform::Millis kWait{20000};

std::set<std::wstring> FolderNames(const DirectoryContent& content) {
    std::set<std::wstring> names;
    for (const DirectoryEntry& entry : content.entries)
        if (entry.isDirectory) names.insert(entry.name);
    return names;
}

class FolderTasks : public testsupport::FtpServerFixture {
protected:
    void SetUp() override {
        FtpServerFixture::SetUp();
        if (!ServerStarted()) return;
        fs::create_directories(Root() / "pub" / "alpha");
        fs::create_directories(Root() / "pub" / "beta gamma");
        WriteFile(Root() / "pub" / "readme.txt", 10);
    }

    CTaskResult Create(const std::wstring& path) {
        return m_engine.CreateDirectoryAndWait(DestinationOn(Server(), L"/pub"), path, kWait);
    }
    CTaskResult Rename(const std::wstring& from, const std::wstring& to) {
        return m_engine.RenameDirectoryAndWait(DestinationOn(Server(), L"/pub"), from, to, kWait);
    }

    TaskInbox m_inbox;
    CFTPEngine m_engine{kTimeouts};
};

// Each refused folder gives way to its parent, one component at a time; a relative folder that
// does not exist gives the login folder, reported as the empty folder; a failed listing still
// reports, with no content.
TEST_F(FolderTasks, ListingReportsTheFolderItReallyEntered) {
    const std::set<std::wstring> pub{L"alpha", L"beta gamma"};
    FTPSettings wrongPassword = DestinationOn(Server());
    wrongPassword.password = L"not the password";
    const struct {
        FTPSettings destination;
        const wchar_t* entered;  // null: the listing fails
        std::set<std::wstring> folders;
        std::vector<std::wstring> cwds;
    } rows[] = {
        {DestinationOn(Server(), L"/pub//"), L"/pub", pub, {L"CWD /pub"}},
        {DestinationOn(Server(), L"/pub/gone/deeper"), L"/pub", pub,
         {L"CWD /pub/gone/deeper", L"CWD /pub/gone", L"CWD /pub"}},
        {DestinationOn(Server(), L"nothere"), L"", {L"pub"}, {L"CWD nothere"}},
        {wrongPassword, nullptr, {}, {}},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(testing::PrintToString(rows[i].destination.directory));
        m_engine.GetDirectoryContent(rows[i].destination, m_inbox.Ref());
        ASSERT_TRUE(m_inbox.WaitForResults(i + 1));
        ASSERT_EQ(m_inbox.listings.size(), i + 1);
        const CTaskResult& result = *m_inbox.results.back();
        const DirectoryContent* content = m_inbox.listings.back().get();
        EXPECT_EQ(Sent(result.transcript, L"CWD"), rows[i].cwds);
        if (!rows[i].entered) {
            EXPECT_EQ(result.reply.code, 530);
            EXPECT_EQ(content, nullptr);
            continue;
        }
        EXPECT_TRUE(result.Succeeded());
        ASSERT_TRUE(content);
        EXPECT_EQ(content->folder, rows[i].entered);
        EXPECT_EQ(FolderNames(*content), rows[i].folders);
    }
}

TEST_F(FolderTasks, CreateMakesTheFolderBesideExistingOnesWithoutEnteringIt) {
    // A created component is not entered: the next one is made beside it.
    CTaskResult created = Create(L"new\\inner");
    EXPECT_TRUE(created.Succeeded()) << created.errorCode << " " << created.reply.code;
    EXPECT_EQ(Sent(created.transcript, L"MKD"), (std::vector<std::wstring>{L"MKD new", L"MKD inner"}));
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "new"));
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "inner"));

    // An existing component is entered, so a path below it is created where it belongs.
    EXPECT_TRUE(Create(L"alpha\\leaf").Succeeded());
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "alpha" / "leaf"));

    // A name that is taken by a file can be neither made nor entered.
    CTaskResult refused = Create(L"readme.txt");
    EXPECT_EQ(refused.errorCode, 0u);
    EXPECT_EQ(refused.reply.code / 100, 5);

    // pyftpdlib offers UTF-8: a name that no ANSI code page holds arrives as it is, and only
    // ill-formed text (a lone surrogate) has no bytes to go out as.
    EXPECT_TRUE(Create(L"\u4e2d\u6587").Succeeded());
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / PathOf(L"\u4e2d\u6587")));
    EXPECT_EQ(Create(std::wstring{L'a', static_cast<wchar_t>(0xDC00)}).errorCode, 1113u);
}

TEST_F(FolderTasks, RenameMovesTheFolderAndReportsARefusal) {
    WriteFile(Root() / "pub" / "alpha" / "inside.txt", 7);
    CTaskResult renamed = Rename(L"alpha", L"omega");
    EXPECT_TRUE(renamed.Succeeded()) << renamed.errorCode << " " << renamed.reply.code;
    EXPECT_FALSE(fs::exists(Root() / "pub" / "alpha"));
    EXPECT_EQ(ReadFile(Root() / "pub" / "omega" / "inside.txt").size(), 7u);

    CTaskResult missing = Rename(L"alpha", L"delta");
    EXPECT_EQ(missing.errorCode, 0u);
    EXPECT_EQ(missing.reply.code / 100, 5);

    // Onto a folder that exists and holds files: the server's RNTO refusal is the result.
    WriteFile(Root() / "pub" / "beta gamma" / "kept.txt", 5);
    CTaskResult taken = Rename(L"omega", L"beta gamma");
    EXPECT_EQ(taken.reply.code / 100, 5);
    EXPECT_EQ(Sent(taken.transcript, L"RNTO"), (std::vector<std::wstring>{L"RNTO beta gamma"}));
    EXPECT_EQ(ReadFile(Root() / "pub" / "beta gamma" / "kept.txt").size(), 5u);
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "omega"));
}

// Some servers refuse LIST in an empty folder ("450 No files found"): the folder is listed as
// empty, not as a failure that the browser would show as an error.
TEST(FolderListing, EmptyFolderRefusedAsNoFilesIsAnEmptyListing) {
    testsupport::FakeFtpServer server;
    testsupport::TestListener data;
    ScriptLogin(server)
        .On("CWD /pub/empty", "250 Directory changed.\r\n")
        .On("PASV", PassiveReply(data.Port()))
        .On("LIST", "450 No files found\r\n");
    ScriptQuit(server).Start();
    TaskInbox inbox;
    CFTPEngine engine{kTimeouts};
    engine.GetDirectoryContent(Destination(server.Port(), L"/pub/empty"), inbox.Ref());
    ASSERT_TRUE(inbox.WaitForResults(1));
    EXPECT_TRUE(inbox.results[0]->Succeeded()) << inbox.results[0]->reply.code;
    ASSERT_EQ(inbox.listings.size(), 1u);
    ASSERT_TRUE(inbox.listings[0]);
    EXPECT_TRUE(inbox.listings[0]->entries.empty());
}

}  // namespace
