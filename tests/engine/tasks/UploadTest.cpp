// Uploads through the engine against the real server: trees byte for byte over several
// connections, the folder walk, failures, a retry that continues a file cut off, a stop.
#include "Orvane/engine/tasks/FTPEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>

#include "Orvane/engine/tasks/FTPTaskUpload.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "platform/ErrorCodes.h"
#include "platform/File.h"
#include "tests/engine/tasks/TaskTestSupport.h"
#include "tests/engine/tasks/UploadTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/TlsTestServer.h"
#include "tests/support/TestListener.h"

namespace {

using namespace uploadtest;
using Options = testsupport::PyFtpdServer::Options;

std::vector<std::wstring> Sorted(std::vector<std::wstring> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::wstring> KeysOf(const UploadJob& job) {
    std::vector<std::wstring> keys;
    for (const auto& [key, entry] : job.files) keys.push_back(key);
    return keys;
}

struct ServerCase {
    const char* name;
    Options options;
};

void PrintTo(const ServerCase& c, std::ostream* out) { *out << c.name; }

class EngineUpload : public testsupport::FtpServerFixture {
protected:
    // Names on the wire in the ANSI code page, as we send them, unless a test needs another server.
    virtual ServerCase Case() const { return {"cp1252", {.cp1252 = true}}; }
    Options ServerOptions() const override { return Case().options; }

    FTPSettings Destination(const std::wstring& directory = L"") {
        FTPSettings destination = DestinationOn(Server(), directory);
        if (m_connections) destination.connections = *m_connections;
        if (Case().options.tls != Options::Tls::None) {
            destination.encryption = FTPEncryption::ExplicitRequired;
            destination.trustedCertificate =
                testsupport::TlsTestServer::CertificateFacts(Case().options.certificate).fingerprint;
        }
        return destination;
    }

    // Uploads `job` and returns the result, with the inbox holding every message of the run.
    std::unique_ptr<CTaskResult> Upload(const UploadJob& job, const std::wstring& directory = L"") {
        const std::size_t before = m_inbox.results.size();
        m_engine.Upload(Destination(directory), job.key, job, m_inbox.Ref());
        if (!m_inbox.WaitForResults(before + 1, platform::Millis(60000))) return nullptr;
        return std::move(m_inbox.results.back());
    }

    // The messages of the latest run, checked for their order: STARTED; per file STATUS, its
    // progress, FILE_DONE (the files' messages interleaved, one connection's with another's);
    // FINISHED. Returns the bytes reported per local path.
    std::map<std::wstring, std::vector<std::intptr_t>> CheckedProgress(const std::wstring& jobKey) {
        std::map<std::wstring, std::vector<std::intptr_t>> progress;
        std::set<std::wstring> open, ended;
        if (m_inbox.uploads.empty()) {
            ADD_FAILURE() << "no upload messages";
            return progress;
        }
        EXPECT_EQ(m_inbox.uploads.front().message, WM_UPLOAD_STARTED);
        EXPECT_EQ(m_inbox.uploads.back().message, WM_UPLOAD_FINISHED);
        for (const auto& event : m_inbox.uploads) {
            if (event.message != WM_UPLOAD_PROGRESS && event.message != WM_UPLOAD_RESUMED) {
                EXPECT_EQ(event.jobKey, jobKey);
            }
            if (event.message == WM_UPLOAD_STATUS) {
                EXPECT_TRUE(open.insert(event.file).second && !ended.count(event.file)) << "began twice";
            } else if (event.message == WM_UPLOAD_PROGRESS) {
                EXPECT_TRUE(open.count(event.file)) << "progress outside the file's transfer";
                progress[event.file].push_back(event.bytes);
            } else if (event.message == WM_UPLOAD_FILE_DONE) {
                EXPECT_EQ(open.erase(event.file), 1u);
                ended.insert(event.file);
            } else if (event.message == WM_UPLOAD_FILE_SKIPPED) {
                EXPECT_TRUE(ended.insert(event.file).second) << "left out after it began";
            }
        }
        return progress;
    }

    // Bytes reported for `file` by messages of `kind` from the `from`th upload message on.
    std::int64_t ProgressOf(const std::wstring& file, std::size_t from = 0, unsigned kind = WM_UPLOAD_PROGRESS) const {
        std::int64_t sum = 0;
        for (std::size_t i = from; i < m_inbox.uploads.size(); ++i)
            if (m_inbox.uploads[i].message == kind && m_inbox.uploads[i].file == file)
                sum += m_inbox.uploads[i].bytes;
        return sum;
    }

    std::optional<std::uint32_t> m_connections;  // the destination's default when not set

    testsupport::TempDir m_local;
    TaskInbox m_inbox;
    CFTPEngine m_engine{kTimeouts};
};

// The same engine against a server set up otherwise.
class EngineTree : public EngineUpload, public ::testing::WithParamInterface<ServerCase> {
protected:
    ServerCase Case() const override { return GetParam(); }
};

std::string CaseName(const ::testing::TestParamInfo<ServerCase>& info) { return info.param.name; }

// Over every connection the server takes from one address (four by default, two where it
// refuses more): the tree byte for byte, each folder made once whichever connection gets there.
TEST_P(EngineTree, ArrivesByteForByteOverEveryConnectionTheServerTakes) {
    const fs::path base = m_local.Path() / L"base";
    WriteFile(base / L"loose.txt", 100);
    WriteFile(base / L"tree" / L"top.txt", 3000, 'k');
    WriteFile(base / L"tree" / L"empty file.bin", 0);
    WriteFile(base / L"tree" / PathOf(L"caf\u00e9 \u00fc.txt"), 50, 'c');
    WriteFile(base / L"tree" / L"a" / L"b" / L"c" / L"deep.bin", 8192 * 3 + 1, 'd');
    WriteFile(base / L"tree" / L"a" / L"x.txt", 10);
    WriteFile(base / L"tree" / PathOf(L"\u00dcn\u00ef folder") / PathOf(L"\u00f1 file.txt"), 33, 'n');
    fs::create_directories(base / L"tree" / L"folder without files");
    const fs::path remote = Root() / PathOf(L"inc\u00f6ming");  // entered in Windows-1252
    fs::create_directories(remote);
    const UploadJob job = JobOf(base, {base / L"loose.txt", base / L"tree"});
    ASSERT_EQ(job.files.size(), 7u);

    auto result = Upload(job, L"/inc\u00f6ming");
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Succeeded()) << result->errorCode << " " << result->reply.code;
    EXPECT_EQ(result->reply.code, 250);  // the starting folder's CWD, not the last STOR's
    EXPECT_NE(result->reply.text.find(L"/inc\u00f6ming"), std::wstring::npos) << "read in Windows-1252";
    EXPECT_EQ(TreeOf(remote), TreeOf(base));
    EXPECT_FALSE(fs::exists(remote / "tree" / "folder without files"));

    EXPECT_EQ(Sorted(m_inbox.Files(WM_UPLOAD_STATUS)), KeysOf(job));
    EXPECT_EQ(Sorted(m_inbox.Files(WM_UPLOAD_FILE_DONE)), KeysOf(job));
    auto progress = CheckedProgress(job.key);
    for (const auto& [key, entry] : job.files) EXPECT_EQ(ProgressOf(key), entry.size) << PathOf(key).filename();
    const std::wstring deep = (base / L"tree" / L"a" / L"b" / L"c" / L"deep.bin").wstring();
    EXPECT_EQ(progress[deep], (std::vector<std::intptr_t>{8192, 8192, 8192, 1}));

    // Each connection logs in and sends TYPE I once; nothing after the last file.
    const std::size_t connections = Case().options.maxPerAddress ? Case().options.maxPerAddress : 4;
    EXPECT_EQ(Sent(result->transcript, L"USER").size(), connections);
    EXPECT_EQ(Sent(result->transcript, L"STOR").size(), 7u);
    EXPECT_EQ(Sent(result->transcript, L"TYPE"), std::vector<std::wstring>(connections, L"TYPE I"));
    // Each folder is made by the connection that claimed it; another makes it too only after its
    // CWD was refused (the claimer was not done yet).
    const std::vector<std::wstring>& lines = result->transcript;
    std::multiset<std::wstring> claimedMade;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(L"MKD ", 0) != 0) continue;
        const bool afterRefusedCwd = i >= 2 && lines[i - 2] == L"CWD " + lines[i].substr(4) && lines[i - 1][0] == L'5';
        if (!afterRefusedCwd) claimedMade.insert(lines[i]);
    }
    for (const std::wstring& line : claimedMade) EXPECT_EQ(claimedMade.count(line), 1u) << testing::PrintToString(line);
}

INSTANTIATE_TEST_SUITE_P(Servers, EngineTree,
                         ::testing::Values(ServerCase{"cp1252", {.cp1252 = true}},
                                           ServerCase{"cp1252_two_per_address", {.cp1252 = true, .maxPerAddress = 2}}),
                         CaseName);

// One connection's walk. A file that cannot be opened when its turn comes is left out, said so,
// and the rest goes: one such file must not fail the job, let alone every retry of it.
TEST_F(EngineUpload, WalksFoldersOnlyWhenTheFolderChangesAndLeavesOutWhatCannotBeRead) {
    m_connections = 1;
    const fs::path base = m_local.Path();
    WriteFile(base / L"1", 5);
    WriteFile(base / L"2", 6);
    WriteFile(base / L"3", 7);
    fs::create_directories(Root() / "a");  // its MKD is refused; the CWD enters it all the same
    UploadJob job;
    job.key = L"walk";
    job.AddFile({(base / L"1").wstring(), L"f1", L"a\\b", 5});
    for (const wchar_t* name : {L"1a", L"1b", L"1c"}) {
        WriteFile(base / name, 3);
        job.AddFile({(base / name).wstring(), name, L"a\\b", 3});
    }
    job.AddFile({(base / L"2").wstring(), L"f2", L"\\a\\b", 6});  // another spelling, the same folder
    job.AddFile({(base / L"3").wstring(), L"f3", L"\\c", 7});
    fs::remove(base / L"1a");  // gone since the hand-off
    fs::remove(base / L"1b");
    fs::create_directory(base / L"1b");  // a folder now
    platform::File writer = platform::CreateForWriting((base / L"1c").wstring());  // held by a writer
    auto result = Upload(job);
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->Succeeded()) << result->errorCode << " " << result->reply.code;

    std::vector<std::wstring> walk;
    for (const std::wstring& line : result->transcript)
        for (const wchar_t* command : {L"CWD", L"MKD", L"STOR"})
            if (line.rfind(command, 0) == 0) walk.push_back(line.substr(0, line.find_last_not_of(L"\r\n") + 1));
    EXPECT_EQ(walk, (std::vector<std::wstring>{
                        L"MKD a", L"CWD a", L"MKD b", L"CWD b", L"STOR f1", L"STOR f2",
                        L"CWD ..", L"CWD ..", L"MKD c", L"CWD c", L"STOR f3"}));
    EXPECT_EQ(Sent(result->transcript, L"PASV").size(), 3u);
    EXPECT_TRUE(Contains(result->transcript, (base / L"1a").wstring()));
    std::map<std::wstring, std::intptr_t> skipped;
    for (const auto& event : m_inbox.uploads)
        if (event.message == WM_UPLOAD_FILE_SKIPPED) skipped[event.file] = event.bytes;
    EXPECT_EQ(skipped, (std::map<std::wstring, std::intptr_t>{
                           {(base / L"1a").wstring(), platform::kErrorFileNotFound},
                           {(base / L"1b").wstring(), platform::kErrorAccessDenied},
                           {(base / L"1c").wstring(), platform::kErrorSharingViolation}}));
    EXPECT_EQ(m_inbox.Files(WM_UPLOAD_FILE_DONE),
              (std::vector<std::wstring>{(base / L"1").wstring(), (base / L"2").wstring(), (base / L"3").wstring()}));
    CheckedProgress(job.key);
    EXPECT_EQ(TreeOf(Root()), (std::map<std::wstring, std::string>{{L"a/b/f1", ReadFile(base / L"1")},
                                                                     {L"a/b/f2", ReadFile(base / L"2")},
                                                                     {L"c/f3", ReadFile(base / L"3")}}));
}

// Jobs that end before any file is stored: nothing reaches the server, no file has a message.
// A name the code page cannot carry fails the job before the files ahead of it are stored.
TEST_F(EngineUpload, JobThatEndsBeforeItsFilesStoresNothing) {
    const fs::path base = m_local.Path();
    const fs::path omega = base / PathOf(L"\u03a9mega.txt");  // Greek capital omega: not in Windows-1252
    const fs::path zhe = base / PathOf(L"\u0416");            // Cyrillic Zhe
    WriteFile(base / L"alpha.txt", 10);
    WriteFile(omega, 10);
    WriteFile(zhe / L"plain.txt", 10);
    const struct {
        const char* name;
        std::wstring directory;
        std::vector<fs::path> selected;
        std::uint32_t errorCode;
        int replyClass;
    } rows[] = {
        {"empty job", L"", {}, 0, 2},
        {"missing starting folder", L"/not/there", {base / L"alpha.txt"}, 0, 5},
        {"starting folder outside the code page", L"/\u03a9", {base / L"alpha.txt"}, 1113, 2},
        {"file name outside the code page", L"", {base / L"alpha.txt", omega}, 1113, 2},
        {"folder name outside the code page", L"", {zhe}, 1113, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_inbox.messages.clear();
        auto result = Upload(JobOf(base, row.selected), row.directory);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->errorCode, row.errorCode);
        EXPECT_EQ(result->reply.code / 100, row.replyClass);
        EXPECT_TRUE(Sent(result->transcript, L"STOR").empty());
        EXPECT_TRUE(Sent(result->transcript, L"MKD").empty());
        EXPECT_EQ(m_inbox.messages, (std::vector<unsigned>{WM_UPLOAD_STARTED, WM_UPLOAD_FINISHED}));
        EXPECT_TRUE(TreeOf(Root()).empty());
    }
}

// One connection's failure ends the sharing out; the others finish the file they are on, and
// what is confirmed is there, whole: only the rest stays in the job for the retry.
TEST_F(EngineUpload, RefusedFileEndsTheSharingOutAndOnlyStoredFilesAreConfirmed) {
    const fs::path base = m_local.Path();
    std::vector<fs::path> selected;
    for (int i = 10; i < 22; ++i) {
        selected.push_back(base / (L"f" + std::to_wstring(i)));
        WriteFile(selected.back(), 5000, static_cast<char>('a' + i));
    }
    const UploadJob job = JobOf(base, selected);
    fs::create_directories(Root() / "f13");  // a folder where f13 should go: its STOR is refused

    auto first = Upload(job);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->Succeeded());
    EXPECT_EQ(first->errorCode, 0u);
    EXPECT_EQ(first->reply.code / 100, 5);
    const auto done = m_inbox.Files(WM_UPLOAD_FILE_DONE);
    EXPECT_EQ(std::count(done.begin(), done.end(), (base / L"f13").wstring()), 0);
    EXPECT_LT(done.size(), selected.size() - 1) << "files were still taken after the failure";
    for (const std::wstring& key : done)  // confirmed means there, whole
        EXPECT_EQ(ReadFile(Root() / fs::path(key).filename()), ReadFile(key));
}

// A reset in the middle of a file, then a 226 from a server that keeps what arrived: the file is
// not done, so it stays in the job for the retry (which sends it again: EngineResume).
TEST(EngineUploadFaults, FileCutShortIsNeverReportedStored) {
    testsupport::TempDir local;
    WriteFile(local.Path() / L"big.bin", 32u << 20);  // more than the socket buffers hold
    const UploadJob job = JobOf(local.Path(), {local.Path() / L"big.bin"});
    testsupport::FakeFtpServer server;
    testsupport::TestListener data;
    platform::Event cut{platform::EventReset::Manual};
    ScriptLogin(server)
        .On("TYPE I", "200 Type set to I.\r\n")
        .On("PASV", PassiveReply(data.Port()))
        .On("STOR big.bin", "150 Ready.\r\n")
        .WaitFor(cut)
        .Send("226 Transfer complete.\r\n");  // the failed run sends nothing more
    server.Start();

    TaskInbox inbox;
    CFTPEngine engine(kTimeouts);
    engine.Upload(Destination(server.Port()), job.key, job, inbox.Ref());
    platform::Event never{platform::EventReset::Manual};
    platform::Socket socket = data.Accept(never, platform::Millis(5000));
    std::vector<char> some(8192);
    platform::Receive(socket, some, never, platform::Millis(5000));
    socket.CloseAbortive();
    cut.Set();
    ASSERT_TRUE(inbox.WaitForResults(1));
    EXPECT_EQ(inbox.results[0]->errorCode, static_cast<std::uint32_t>(platform::kErrorConnectionReset));
    EXPECT_TRUE(inbox.Files(WM_UPLOAD_FILE_DONE).empty());
    EXPECT_TRUE(server.Finish());
    EXPECT_EQ(server.Failures(), std::vector<std::string>{});
}

using EngineResume = EngineTree;

// The server goes down in the middle of a file and comes back; the retry continues the file
// where the server's copy ends when the server takes REST, and sends it whole when it does not.
TEST_P(EngineResume, RetryContinuesAFileCutOffAndTheResultIsWhole) {
    WriteFile(m_local.Path() / L"big.bin", 50u << 20, 'q');
    UploadJob job = JobOf(m_local.Path(), {m_local.Path() / L"big.bin"});
    const std::wstring key = job.files.begin()->first;
    m_engine.Upload(Destination(), job.key, job, m_inbox.Ref());
    // What the server holds, not what was reported: under Wine the reports lag far behind.
    auto stored = [&] {
        std::error_code missing;
        const std::uintmax_t size = fs::file_size(Root() / "big.bin", missing);
        return missing ? 0 : size;
    };
    ASSERT_TRUE(m_inbox.WaitUntil([&] { return stored() >= (5u << 20) || !m_inbox.results.empty(); }));
    Server().Stop();
    ASSERT_TRUE(m_inbox.WaitForResults(1));
    EXPECT_FALSE(m_inbox.results[0]->Succeeded());
    std::string whyNot;
    ASSERT_TRUE(Server().StartAgain(whyNot)) << whyNot;
    const std::uint64_t there = stored();
    ASSERT_GT(there, 0u);
    ASSERT_LT(there, 50u << 20);

    job.files.begin()->second.cutOff = true;  // as the job controller marks a file with bytes counted
    const std::size_t from = m_inbox.uploads.size();
    auto second = Upload(job);
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->Succeeded()) << second->errorCode << " " << testing::PrintToString(second->reply.text);
    EXPECT_TRUE(ReadFile(Root() / "big.bin") == ReadFile(m_local.Path() / L"big.bin"));
    const bool resumed = !GetParam().options.refuseRest;
    EXPECT_EQ(Sent(second->transcript, L"REST"), std::vector<std::wstring>{L"REST " + std::to_wstring(there)});
    EXPECT_EQ(ProgressOf(key, from), static_cast<std::int64_t>((50u << 20) - (resumed ? there : 0)));
    EXPECT_EQ(ProgressOf(key, from, WM_UPLOAD_RESUMED), resumed ? static_cast<std::int64_t>(there) : 0);
    EXPECT_EQ(Sent(second->transcript, L"SIZE").size(), 2u);  // before, and to confirm
}

// 5 s for the whole file: a loaded machine under Wine needs seconds to stop the server.
INSTANTIATE_TEST_SUITE_P(
    Servers, EngineResume,
    ::testing::Values(ServerCase{"rest", {.uploadRate = 10'000'000}},
                      ServerCase{"rest_refused", {.uploadRate = 10'000'000, .refuseRest = true}},
                      ServerCase{"rest_over_tls",
                                 {.uploadRate = 10'000'000, .tls = Options::Tls::Explicit, .certificate = "self-signed"}}),
    CaseName);

// A server that reads a few bytes a second: every connection is held in a send that the
// server will not take. A stop ends them all at once, and no file counts as done.
class EngineStop : public EngineUpload {
protected:
    ServerCase Case() const override { return {"stalling", {.uploadRate = 1000}}; }
};

TEST_F(EngineStop, EndsEveryConnectionPromptly) {
    for (int file = 0; file < 4; ++file) WriteFile(m_local.Path() / L"slow" / (L"f" + std::to_wstring(file)), 16u << 20);
    const UploadJob job = JobOf(m_local.Path(), {m_local.Path() / L"slow"});
    auto engine = std::make_unique<CFTPEngine>(kTimeouts);
    engine->Upload(Destination(), job.key, job, m_inbox.Ref());
    std::set<std::wstring> moving;
    ASSERT_TRUE(m_inbox.WaitUntil([&] {
        for (const auto& event : m_inbox.uploads)
            if (event.message == WM_UPLOAD_PROGRESS) moving.insert(event.file);
        return moving.size() == 4;
    }));
    const auto stopped = std::chrono::steady_clock::now();
    engine.reset();
    ASSERT_TRUE(m_inbox.WaitForResults(1));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(2));
    EXPECT_EQ(m_inbox.results[0]->errorCode, static_cast<std::uint32_t>(platform::kErrorAborted));
    EXPECT_TRUE(m_inbox.Files(WM_UPLOAD_FILE_DONE).empty());
}

}  // namespace
