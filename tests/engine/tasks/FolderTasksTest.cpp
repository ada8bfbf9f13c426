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

    // Lists `directory`; the listing (null when the task failed) goes to `content`.
    std::unique_ptr<CTaskResult> List(FTPSettings destination, std::unique_ptr<DirectoryContent>& content) {
        m_engine.GetDirectoryContent(std::move(destination), m_inbox.Ref());
        auto result = NextResult();
        if (result && !m_inbox.listings.empty()) content = std::move(m_inbox.listings.back());
        return result;
    }

    std::unique_ptr<CTaskResult> NextResult() {
        if (!m_inbox.WaitForResults(++m_expected)) return nullptr;
        return std::move(m_inbox.results.back());
    }

    FTPSettings WrongPassword() {
        FTPSettings destination = DestinationOn(Server());
        destination.password = L"not the password";
        return destination;
    }

    TaskInbox m_inbox;
    CFTPEngine m_engine{kTimeouts};
    std::size_t m_expected = 0;
};

TEST_F(FolderTasks, ListingReportsTheFolderItReallyEntered) {
    std::unique_ptr<DirectoryContent> pub;
    auto result = List(DestinationOn(Server(), L"/pub//"), pub);
    ASSERT_TRUE(result && pub);
    EXPECT_TRUE(result->Succeeded());
    EXPECT_EQ(pub->folder, L"/pub");
    EXPECT_EQ(FolderNames(*pub), (std::set<std::wstring>{L"alpha", L"beta gamma"}));
    EXPECT_NE(pub->listing.find(L"readme.txt"), std::wstring::npos);

    // Each refused folder gives way to its parent, one component at a time.
    std::unique_ptr<DirectoryContent> climbed;
    result = List(DestinationOn(Server(), L"/pub/gone/deeper"), climbed);
    ASSERT_TRUE(result && climbed);
    EXPECT_TRUE(result->Succeeded());
    EXPECT_EQ(climbed->folder, L"/pub");
    EXPECT_EQ(Sent(result->transcript, L"CWD"),
              (std::vector<std::wstring>{L"CWD /pub/gone/deeper", L"CWD /pub/gone", L"CWD /pub"}));

    // A relative folder that does not exist: the login folder, reported as the empty folder.
    std::unique_ptr<DirectoryContent> login;
    result = List(DestinationOn(Server(), L"nothere"), login);
    ASSERT_TRUE(result && login);
    EXPECT_EQ(login->folder, L"");
    EXPECT_EQ(FolderNames(*login), (std::set<std::wstring>{L"pub"}));

    // A failed listing still reports, with no content.
    std::unique_ptr<DirectoryContent> none;
    result = List(WrongPassword(), none);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->reply.code, 530);
    EXPECT_EQ(m_inbox.listings.size(), 4u);
    EXPECT_EQ(m_inbox.listings.back(), nullptr);
}

TEST_F(FolderTasks, CreateMakesTheFolderBesideExistingOnesWithoutEnteringIt) {
    // A created component is not entered: the next one is made beside it.
    CTaskResult created = m_engine.CreateDirectoryAndWait(DestinationOn(Server(), L"/pub"), L"new\\inner", kWait);
    EXPECT_TRUE(created.Succeeded()) << created.errorCode << " " << created.reply.code;
    EXPECT_EQ(Sent(created.transcript, L"MKD"), (std::vector<std::wstring>{L"MKD new", L"MKD inner"}));
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "new"));
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "inner"));

    // An existing component is entered, so a path below it is created where it belongs.
    CTaskResult below = m_engine.CreateDirectoryAndWait(DestinationOn(Server(), L"/pub"), L"alpha\\leaf", kWait);
    EXPECT_TRUE(below.Succeeded()) << below.errorCode << " " << below.reply.code;
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / "alpha" / "leaf"));

    // A name that is taken by a file can be neither made nor entered.
    CTaskResult refused = m_engine.CreateDirectoryAndWait(DestinationOn(Server(), L"/pub"), L"readme.txt", kWait);
    EXPECT_EQ(refused.errorCode, 0u);
    EXPECT_EQ(refused.reply.code / 100, 5);
    EXPECT_TRUE(fs::is_regular_file(Root() / "pub" / "readme.txt"));

    // pyftpdlib offers UTF-8: a name that no ANSI code page holds arrives as it is, and only
    // ill-formed text (a lone surrogate) has no bytes to go out as.
    CTaskResult chinese = m_engine.CreateDirectoryAndWait(DestinationOn(Server(), L"/pub"), L"\u4e2d\u6587", kWait);
    EXPECT_TRUE(chinese.Succeeded()) << chinese.errorCode << " " << chinese.reply.code;
    EXPECT_TRUE(fs::is_directory(Root() / "pub" / PathOf(L"\u4e2d\u6587")));
    const std::wstring broken{L'a', static_cast<wchar_t>(0xDC00)};
    CTaskResult unrepresentable = m_engine.CreateDirectoryAndWait(DestinationOn(Server(), L"/pub"), broken, kWait);
    EXPECT_EQ(unrepresentable.errorCode, 1113u);
}

TEST_F(FolderTasks, RenameMovesTheFolderAndReportsARefusal) {
    WriteFile(Root() / "pub" / "alpha" / "inside.txt", 7);
    CTaskResult renamed = m_engine.RenameDirectoryAndWait(DestinationOn(Server(), L"/pub"), L"alpha", L"omega", kWait);
    EXPECT_TRUE(renamed.Succeeded()) << renamed.errorCode << " " << renamed.reply.code;
    EXPECT_FALSE(fs::exists(Root() / "pub" / "alpha"));
    EXPECT_EQ(ReadFile(Root() / "pub" / "omega" / "inside.txt").size(), 7u);

    CTaskResult missing = m_engine.RenameDirectoryAndWait(DestinationOn(Server(), L"/pub"), L"alpha", L"delta", kWait);
    EXPECT_EQ(missing.errorCode, 0u);
    EXPECT_EQ(missing.reply.code / 100, 5);

    // Onto a folder that exists and holds files: the server's RNTO refusal is the result.
    WriteFile(Root() / "pub" / "beta gamma" / "kept.txt", 5);
    CTaskResult taken =
        m_engine.RenameDirectoryAndWait(DestinationOn(Server(), L"/pub"), L"omega", L"beta gamma", kWait);
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
        .On("PASV", "227 Entering Passive Mode (127,0,0,1," + std::to_string(data.Port() / 256) + "," +
                        std::to_string(data.Port() % 256) + ")\r\n")
        .On("LIST", "450 No files found\r\n");
    ScriptQuit(server).Start();
    TaskInbox inbox;
    CFTPEngine engine{kTimeouts};
    engine.GetDirectoryContent(Destination(server.Port(), L"/pub/empty"), inbox.Ref());
    ASSERT_TRUE(inbox.WaitForResults(1));
    EXPECT_TRUE(inbox.results[0]->Succeeded()) << inbox.results[0]->reply.code;
    EXPECT_TRUE(Contains(inbox.results[0]->transcript, L"450 No files found"));
    ASSERT_EQ(inbox.listings.size(), 1u);
    ASSERT_TRUE(inbox.listings[0]);
    EXPECT_TRUE(inbox.listings[0]->entries.empty());
}

}  // namespace
