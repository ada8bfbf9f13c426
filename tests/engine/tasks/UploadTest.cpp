// Uploads through the engine against the real server: trees arrive byte for byte, the folder
// walk on the wire, failures that leave exactly the unsent files for the retry, names the code
// page cannot carry, and a stop in the middle of a file.
#include "Orvane/engine/tasks/FTPEngine.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "Orvane/engine/tasks/FTPTaskUpload.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "platform/ErrorCodes.h"
#include "platform/File.h"
#include "tests/engine/tasks/TaskTestSupport.h"
#include "tests/engine/tasks/UploadTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestListener.h"

namespace {

using namespace uploadtest;

std::vector<std::wstring> KeysOf(const UploadJob& job) {
    std::vector<std::wstring> keys;
    for (const auto& [key, entry] : job.files) keys.push_back(key);
    return keys;
}

class EngineUpload : public testsupport::FtpServerFixture {
protected:
    testsupport::PyFtpdServer::Options ServerOptions() const override {
        testsupport::PyFtpdServer::Options options;
        options.cp1252 = true;  // names on the wire in the ANSI code page, as we send them
        return options;
    }

    // Uploads `job` and returns the result, with the inbox holding every message of the run.
    std::unique_ptr<CTaskResult> Upload(const UploadJob& job, const std::wstring& directory = L"") {
        const std::size_t before = m_inbox.results.size();
        m_engine.Upload(DestinationOn(Server(), directory), job.key, job, m_inbox.Ref());
        if (!m_inbox.WaitForResults(before + 1)) return nullptr;
        return std::move(m_inbox.results.back());
    }

    // The messages of the latest run, checked for their order: STARTED; per file STATUS, its
    // progress, FILE_DONE; FINISHED. Returns the bytes reported per local path.
    std::map<std::wstring, std::vector<std::intptr_t>> CheckedProgress(const std::wstring& jobKey) {
        std::map<std::wstring, std::vector<std::intptr_t>> progress;
        std::wstring current;
        bool open = false;
        if (m_inbox.uploads.empty()) {
            ADD_FAILURE() << "no upload messages";
            return progress;
        }
        EXPECT_EQ(m_inbox.uploads.front().message, WM_UPLOAD_STARTED);
        EXPECT_EQ(m_inbox.uploads.back().message, WM_UPLOAD_FINISHED);
        for (const auto& event : m_inbox.uploads) {
            if (event.message != WM_UPLOAD_PROGRESS) {
                EXPECT_EQ(event.jobKey, jobKey);
            }
            if (event.message == WM_UPLOAD_STATUS) {
                EXPECT_FALSE(open) << "a file began before the last one was done";
                current = event.file;
                open = true;
            } else if (event.message == WM_UPLOAD_PROGRESS) {
                EXPECT_TRUE(open);
                EXPECT_EQ(event.file, current);
                progress[event.file].push_back(event.bytes);
            } else if (event.message == WM_UPLOAD_FILE_DONE) {
                EXPECT_EQ(event.file, current);
                open = false;
            } else if (event.message == WM_UPLOAD_FILE_SKIPPED) {
                EXPECT_FALSE(open) << "a file was left out in the middle of another";
            }
        }
        return progress;
    }

    testsupport::TempDir m_local;
    TaskInbox m_inbox;
    CFTPEngine m_engine{kTimeouts};
};

TEST_F(EngineUpload, TreeArrivesByteForByteWithOneLogin) {
    const fs::path base = m_local.Path() / L"base";
    WriteFile(base / L"loose.txt", 100);
    WriteFile(base / L"tree" / L"top.txt", 3000, 'k');
    WriteFile(base / L"tree" / L"empty file.bin", 0);
    WriteFile(base / L"tree" / PathOf(L"caf\u00e9 \u00fc.txt"), 50, 'c');
    WriteFile(base / L"tree" / L"a" / L"b" / L"c" / L"deep.bin", 8192 * 3 + 1, 'd');
    WriteFile(base / L"tree" / L"a" / L"x.txt", 10);
    WriteFile(base / L"tree" / PathOf(L"\u00dcn\u00ef folder") / PathOf(L"\u00f1 file.txt"), 33, 'n');
    fs::create_directories(base / L"tree" / L"folder without files");
    fs::create_directories(Root() / "incoming");
    const UploadJob job = JobOf(base, {base / L"loose.txt", base / L"tree"});
    ASSERT_EQ(job.files.size(), 7u);

    auto result = Upload(job, L"/incoming");
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Succeeded()) << result->errorCode << " " << result->reply.code;
    EXPECT_EQ(result->reply.code, 250);  // the starting folder's CWD, not the last STOR's
    EXPECT_EQ(TreeOf(Root() / "incoming"), TreeOf(base));
    EXPECT_FALSE(fs::exists(Root() / "incoming" / "tree" / "folder without files"));

    EXPECT_EQ(m_inbox.Files(WM_UPLOAD_STATUS), KeysOf(job));
    EXPECT_EQ(m_inbox.Files(WM_UPLOAD_FILE_DONE), KeysOf(job));
    auto progress = CheckedProgress(job.key);
    for (const auto& [key, entry] : job.files) {
        std::intptr_t sum = 0;
        for (std::intptr_t bytes : progress[key]) sum += bytes;
        EXPECT_EQ(sum, entry.size) << PathOf(key).filename();
    }
    const std::wstring deep = (base / L"tree" / L"a" / L"b" / L"c" / L"deep.bin").wstring();
    EXPECT_EQ(progress[deep], (std::vector<std::intptr_t>{8192, 8192, 8192, 1}));

    EXPECT_EQ(Sent(result->transcript, L"USER").size(), 1u);
    EXPECT_EQ(Sent(result->transcript, L"STOR").size(), 7u);
    EXPECT_EQ(Sent(result->transcript, L"TYPE"), (std::vector<std::wstring>{L"TYPE I", L"TYPE A"}));
}

TEST_F(EngineUpload, WalksFoldersUpAndDownOnlyWhenTheFolderChanges) {
    const fs::path base = m_local.Path();
    WriteFile(base / L"1", 5);
    WriteFile(base / L"2", 6);
    WriteFile(base / L"3", 7);
    fs::create_directories(Root() / "a");  // its MKD is refused; the CWD enters it all the same
    UploadJob job;
    job.key = L"walk";
    job.AddFile({(base / L"1").wstring(), L"f1", L"a\\b", 5});
    job.AddFile({(base / L"2").wstring(), L"f2", L"\\a\\b", 6});  // another spelling, the same folder
    job.AddFile({(base / L"3").wstring(), L"f3", L"\\c", 7});
    // Keys order the files; the second file's folder is written differently, so it is a move.
    auto result = Upload(job);
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->Succeeded()) << result->errorCode << " " << result->reply.code;

    std::vector<std::wstring> walk;
    for (const std::wstring& line : result->transcript)
        for (const wchar_t* command : {L"CWD", L"MKD", L"STOR"})
            if (line.rfind(command, 0) == 0) walk.push_back(line.substr(0, line.find_last_not_of(L"\r\n") + 1));
    EXPECT_EQ(walk, (std::vector<std::wstring>{
                        L"MKD a", L"CWD a", L"MKD b", L"CWD b", L"STOR f1",
                        L"CWD ..", L"CWD ..", L"MKD a", L"CWD a", L"MKD b", L"CWD b", L"STOR f2",
                        L"CWD ..", L"CWD ..", L"MKD c", L"CWD c", L"STOR f3"}));
    EXPECT_EQ(ReadFile(Root() / "a" / "b" / "f2"), ReadFile(base / L"2"));
    EXPECT_EQ(ReadFile(Root() / "c" / "f3"), ReadFile(base / L"3"));
}

TEST_F(EngineUpload, FilesOfOneFolderNeedNoFolderCommandsBetweenThem) {
    const fs::path base = m_local.Path() / L"base";
    for (int i = 0; i < 5; ++i) WriteFile(base / L"same" / (L"f" + std::to_wstring(i)), 100 + i);
    auto result = Upload(JobOf(base, {base / L"same"}));
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->Succeeded());
    EXPECT_EQ(Sent(result->transcript, L"CWD"), std::vector<std::wstring>{L"CWD same"});
    EXPECT_EQ(Sent(result->transcript, L"STOR").size(), 5u);
}

TEST_F(EngineUpload, MissingStartingFolderTouchesNoFile) {
    WriteFile(m_local.Path() / L"f", 10);
    auto result = Upload(JobOf(m_local.Path(), {m_local.Path() / L"f"}), L"/not/there");
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->Succeeded());
    EXPECT_EQ(result->errorCode, 0u);
    EXPECT_EQ(result->reply.code / 100, 5);
    EXPECT_EQ(m_inbox.messages, (std::vector<unsigned>{WM_UPLOAD_STARTED, WM_UPLOAD_FINISHED}));
    EXPECT_TRUE(TreeOf(Root()).empty());
}

TEST_F(EngineUpload, EmptyJobLogsInSetsTheTypesAndSucceeds) {
    UploadJob job;
    job.key = L"empty";
    auto result = Upload(job);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Succeeded());
    EXPECT_EQ(Sent(result->transcript, L"TYPE"), (std::vector<std::wstring>{L"TYPE I", L"TYPE A"}));
    EXPECT_EQ(m_inbox.messages, (std::vector<unsigned>{WM_UPLOAD_STARTED, WM_UPLOAD_FINISHED}));
}

TEST_F(EngineUpload, RetryAfterARefusedFileSendsExactlyTheFilesLeft) {
    const fs::path base = m_local.Path();
    for (const wchar_t* name : {L"f1", L"f2", L"f3", L"f4"}) WriteFile(base / name, 5000, name[1] == L'3' ? 'x' : 'a');
    UploadJob job = JobOf(base, {base / L"f1", base / L"f2", base / L"f3", base / L"f4"});
    fs::create_directories(Root() / "f3");  // a folder where f3 should go: its STOR is refused

    auto first = Upload(job);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->Succeeded());
    EXPECT_EQ(first->errorCode, 0u);
    EXPECT_EQ(first->reply.code / 100, 5);
    EXPECT_EQ(Sent(first->transcript, L"STOR"), (std::vector<std::wstring>{L"STOR f1", L"STOR f2", L"STOR f3"}));
    EXPECT_TRUE(Sent(first->transcript, L"TYPE A").empty());  // the run ended at the failure
    const auto done = m_inbox.Files(WM_UPLOAD_FILE_DONE);
    EXPECT_EQ(done, (std::vector<std::wstring>{(base / L"f1").wstring(), (base / L"f2").wstring()}));

    // What the job controller does with the reports: finished files leave the job.
    for (const std::wstring& key : done) job.files.erase(key);
    fs::remove(Root() / "f3");
    auto second = Upload(job);
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->Succeeded());
    EXPECT_EQ(Sent(second->transcript, L"STOR"), (std::vector<std::wstring>{L"STOR f3", L"STOR f4"}));
    EXPECT_EQ(TreeOf(Root()), TreeOf(base));
}

// A file that cannot be opened when its turn comes is left out, said so, and the rest goes:
// one such file must not fail the job, let alone every retry of it.
TEST_F(EngineUpload, FilesThatCannotBeReadAreLeftOutAndTheRestIsStored) {
    const fs::path base = m_local.Path();
    for (const wchar_t* name : {L"1", L"2", L"3", L"4", L"5"}) WriteFile(base / name, 3000);
    UploadJob job = JobOf(base, {base / L"1", base / L"2", base / L"3", base / L"4", base / L"5"});
    fs::remove(base / L"2");                                           // gone since the hand-off
    fs::remove(base / L"3");
    fs::create_directory(base / L"3");                                 // a folder now
    platform::File writer = platform::CreateForWriting((base / L"4").wstring());  // held by a writer

    auto result = Upload(job);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Succeeded()) << result->errorCode << " " << result->reply.code;
    EXPECT_EQ(Sent(result->transcript, L"STOR"), (std::vector<std::wstring>{L"STOR 1", L"STOR 5"}));
    EXPECT_EQ(Sent(result->transcript, L"PASV").size(), 2u);
    EXPECT_TRUE(Contains(result->transcript, (base / L"2").wstring()));
    std::map<std::wstring, std::intptr_t> skipped;
    for (const auto& event : m_inbox.uploads)
        if (event.message == WM_UPLOAD_FILE_SKIPPED) skipped[event.file] = event.bytes;
    EXPECT_EQ(skipped, (std::map<std::wstring, std::intptr_t>{
                           {(base / L"2").wstring(), platform::kErrorFileNotFound},
                           {(base / L"3").wstring(), platform::kErrorAccessDenied},
                           {(base / L"4").wstring(), platform::kErrorSharingViolation}}));
    EXPECT_EQ(m_inbox.Files(WM_UPLOAD_FILE_DONE),
              (std::vector<std::wstring>{(base / L"1").wstring(), (base / L"5").wstring()}));
    CheckedProgress(job.key);
    EXPECT_EQ(TreeOf(Root()), (std::map<std::wstring, std::string>{{L"1", ReadFile(base / L"1")},
                                                                     {L"5", ReadFile(base / L"5")}}));
}

TEST_F(EngineUpload, NameOutsideTheCodePageFailsBeforeAnythingIsStored) {
    const fs::path base = m_local.Path();
    WriteFile(base / L"alpha.txt", 10);
    WriteFile(base / PathOf(L"\u03a9mega.txt"), 10);  // Greek capital omega: not in Windows-1252
    auto result = Upload(JobOf(base, {base / L"alpha.txt", base / PathOf(L"\u03a9mega.txt")}));
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->Succeeded());
    EXPECT_EQ(result->errorCode, static_cast<std::uint32_t>(platform::kErrorNoUnicodeTranslation));
    EXPECT_TRUE(Sent(result->transcript, L"STOR").empty());
    EXPECT_TRUE(m_inbox.Files(WM_UPLOAD_STATUS).empty());
    EXPECT_TRUE(TreeOf(Root()).empty());
}

TEST_F(EngineUpload, FolderOutsideTheCodePageFailsToo) {
    WriteFile(m_local.Path() / PathOf(L"\u0416") / L"plain.txt", 10);  // Cyrillic Zhe
    auto result = Upload(JobOf(m_local.Path(), {m_local.Path() / PathOf(L"\u0416")}));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->errorCode, static_cast<std::uint32_t>(platform::kErrorNoUnicodeTranslation));
    EXPECT_TRUE(Sent(result->transcript, L"MKD").empty());
}

TEST(EngineStop, DestroyingTheEngineStopsAStalledUpload) {
    testsupport::TempDir local;
    WriteFile(local.Path() / L"big.bin", 32u << 20);
    testsupport::FakeFtpServer server;
    testsupport::TestListener data;
    platform::Event storing{platform::EventReset::Manual};
    ScriptLogin(server)
        .On("TYPE I", "200 Type set to I.\r\n")
        .On("PASV", "227 Entering Passive Mode (127,0,0,1," + std::to_string(data.Port() / 256) + "," +
                        std::to_string(data.Port() % 256) + ").\r\n")
        .On("STOR big.bin", "150 Ready.\r\n")
        .Signal(storing);  // then silence: the final reply never comes
    server.Start();

    TaskInbox inbox;
    auto engine = std::make_unique<CFTPEngine>(kTimeouts);
    engine->Upload(Destination(server.Port()), L"big", JobOf(local.Path(), {local.Path() / L"big.bin"}),
                   inbox.Ref());
    ASSERT_TRUE(platform::WaitPumpingMessages(storing, platform::Millis(10000)));
    platform::Event never{platform::EventReset::Manual};
    platform::Socket stalled = data.Accept(never, platform::Millis(5000));  // and never read

    engine.reset();  // as the program does when it ends during an upload
    ASSERT_TRUE(inbox.WaitForResults(1));
    EXPECT_EQ(inbox.results[0]->errorCode, static_cast<std::uint32_t>(platform::kErrorAborted));
    EXPECT_TRUE(inbox.Files(WM_UPLOAD_FILE_DONE).empty());
    EXPECT_TRUE(server.Finish());
}

// A reset in the middle of a file, then a 226 from a server that keeps what arrived: the file is
// not done, so it stays in the job, and the retry sends it again whole.
TEST(EngineUploadFaults, FileCutShortStaysInTheJobAndTheRetrySendsItWhole) {
    testsupport::TempDir local;
    WriteFile(local.Path() / L"big.bin", 32u << 20);  // more than the socket buffers hold
    const UploadJob job = JobOf(local.Path(), {local.Path() / L"big.bin"});
    testsupport::FakeFtpServer server;
    testsupport::TestListener data;
    const std::string passive = "227 Entering Passive Mode (127,0,0,1," + std::to_string(data.Port() / 256) + "," +
                                std::to_string(data.Port() % 256) + ").\r\n";
    platform::Event cut{platform::EventReset::Manual}, drained{platform::EventReset::Manual};
    for (platform::Event* sent : {&cut, &drained}) {
        ScriptLogin(server)
            .On("TYPE I", "200 Type set to I.\r\n")
            .On("PASV", passive)
            .On("STOR big.bin", "150 Ready.\r\n")
            .WaitFor(*sent)
            .Send("226 Transfer complete.\r\n");
        if (sent == &cut) server.Accept();  // the failed run sends nothing more
    }
    server.On("TYPE A", "200 Type set to A.\r\n");
    ScriptQuit(server).Start();

    TaskInbox inbox;
    CFTPEngine engine(kTimeouts);
    platform::Event never{platform::EventReset::Manual};
    engine.Upload(Destination(server.Port()), job.key, job, inbox.Ref());
    {
        platform::Socket socket = data.Accept(never, platform::Millis(5000));
        std::vector<char> some(8192);
        platform::Receive(socket, some, never, platform::Millis(5000));
        socket.CloseAbortive();
    }
    cut.Set();
    ASSERT_TRUE(inbox.WaitForResults(1));
    EXPECT_EQ(inbox.results[0]->errorCode, static_cast<std::uint32_t>(platform::kErrorConnectionReset));
    EXPECT_TRUE(inbox.Files(WM_UPLOAD_FILE_DONE).empty());

    engine.Upload(Destination(server.Port()), job.key, job, inbox.Ref());  // the job as it was left
    std::string arrived;
    {
        platform::Socket socket = data.Accept(never, platform::Millis(5000));
        std::vector<char> buffer(1 << 16);
        while (std::size_t n = platform::Receive(socket, buffer, never, platform::Millis(10000)))
            arrived.append(buffer.data(), n);
    }
    drained.Set();
    ASSERT_TRUE(inbox.WaitForResults(2));
    EXPECT_TRUE(inbox.results[1]->Succeeded());
    EXPECT_TRUE(arrived == ReadFile(local.Path() / L"big.bin"));
    EXPECT_EQ(inbox.Files(WM_UPLOAD_FILE_DONE), KeysOf(job));
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

TEST(UploadPaths, BuildUpPathClimbsOneLevelPerComponent) {
    EXPECT_EQ(BuildUpPath(L""), L"");
    EXPECT_EQ(BuildUpPath(L"\\\\"), L"");
    EXPECT_EQ(BuildUpPath(L"a"), L"..");
    EXPECT_EQ(BuildUpPath(L"\\a"), L"..");
    EXPECT_EQ(BuildUpPath(L"a\\b"), L"..\\..");
    EXPECT_EQ(BuildUpPath(L"\\\\a\\b\\c"), L"..\\..\\..");
}

}  // namespace
