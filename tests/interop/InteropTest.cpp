// The interop matrix: the FTP servers people run, each in a setup of the table below, get the
// same tree of awkward names through CFTPEngine. The server's disk must then hold it byte for
// byte, names included, every folder must list through the engine as it is on disk, and a name
// the server refuses must fail the job with its reply. The TLS setups require TLS for the login
// and every data connection, with a certificate from the test CA.
#include "Orvane/engine/tasks/FTPEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "platform/TextCodec.h"
#include "tests/engine/tasks/TaskTestSupport.h"
#include "tests/support/TlsTestServer.h"
#include "tests/engine/tasks/UploadTestSupport.h"
#include "tests/support/AwkwardTree.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"

namespace {

using namespace uploadtest;
using testsupport::PyFtpdServer;

struct ServerSetup {
    const char* name;
    PyFtpdServer::Kind kind;
    bool cp1252;      // pyftpdlib speaking Windows-1252, without UTF8 in its features
    const char* user;
    bool offersUtf8;     // names travel as UTF-8; otherwise in the ANSI code page
    bool diskUtf8;       // stores names as UTF-8; otherwise as the bytes it was sent
    bool keepsBlanks;    // stores names that begin with a blank as they are
    PyFtpdServer::Options::Tls tls = PyFtpdServer::Options::Tls::None;
};

using Tls = PyFtpdServer::Options::Tls;

const ServerSetup kSetups[] = {
    {"pyftpdlib", PyFtpdServer::Kind::Pyftpdlib, false, "orvane", true, true, true},
    {"pyftpdlib_cp1252", PyFtpdServer::Kind::Pyftpdlib, true, "orvane", false, true, true},
    {"vsftpd", PyFtpdServer::Kind::Vsftpd, false, "anonymous", false, false, true},
    {"proftpd", PyFtpdServer::Kind::Proftpd, false, "orvane", true, true, true},
    // pure-ftpd turns a leading blank into "_" (and answers STOR with 226, MKD with the new name)
    {"pure_ftpd", PyFtpdServer::Kind::PureFtpd, false, "orvane", true, true, false},
    // Its data connections must resume the control connection's TLS session (require_ssl_reuse),
    // and a file counts as whole only with the close alert.
    {"vsftpd_tls", PyFtpdServer::Kind::Vsftpd, false, "anonymous", false, false, true, Tls::Explicit},
    {"vsftpd_implicit_tls", PyFtpdServer::Kind::Vsftpd, false, "anonymous", false, false, true, Tls::Implicit},
};

void PrintTo(const ServerSetup& setup, std::ostream* out) { *out << setup.name; }

class Interop : public ::testing::TestWithParam<ServerSetup> {
protected:
    void SetUp() override {
        // One server per setup, started by the first test that needs it and shared by the ones after.
        static std::map<std::string, std::unique_ptr<PyFtpdServer>> servers;
        std::unique_ptr<PyFtpdServer>& server = servers[GetParam().name];
        std::string whyNot;
        bool unavailable = false;
        if (!server)
            server = PyFtpdServer::Start(
                {.kind = GetParam().kind, .user = GetParam().user, .cp1252 = GetParam().cp1252, .tls = GetParam().tls},
                whyNot, unavailable);
        m_server = server.get();
        if (!m_server && unavailable) GTEST_SKIP() << whyNot;
        ASSERT_TRUE(m_server) << whyNot;
        fs::create_directories(m_server->Root() / "upload");  // the Debian servers come with it
        if (GetParam().tls != Tls::None) {  // for the rest of the program
            static const testsupport::TrustedTestAuthority trusted(testsupport::TlsTestServer::CertificateFolder());
        }
    }

    // A name as the server's disk holds it.
    std::string DiskName(const std::wstring& name) const {
        return platform::ToAnsi(name, GetParam().diskUtf8 ? platform::CodePage::Utf8 : platform::CodePage::ThreadAnsi);
    }
    std::wstring NameFromDisk(const std::string& bytes) const {
        return platform::FromAnsi(bytes, GetParam().diskUtf8 ? platform::CodePage::Utf8 : platform::CodePage::SystemAnsi);
    }
    // Every file below `folder` by its relative path's bytes, with a hash of its content, so that
    // a failure does not print megabytes.
    static std::map<std::string, std::size_t> DiskTree(const fs::path& folder) {
        std::map<std::string, std::size_t> tree;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) tree[fs::relative(entry.path(), folder).string()] = Hash(ReadFile(entry.path()));
        return tree;
    }
    static std::size_t Hash(const std::string& content) { return std::hash<std::string>{}(content); }
    // The entries of one folder as "D name" or "F name", sorted: on disk and as listed.
    std::multiset<std::wstring> DiskEntries(const fs::path& folder) const {
        std::multiset<std::wstring> entries;
        for (const auto& entry : fs::directory_iterator(folder))
            entries.insert((entry.is_directory() ? L"D " : L"F ") + NameFromDisk(entry.path().filename().string()));
        return entries;
    }
    static std::multiset<std::wstring> Listed(const DirectoryContent& content) {
        std::multiset<std::wstring> entries;
        for (const DirectoryEntry& entry : content.entries)
            if (entry.isDirectory || entry.isFile) entries.insert((entry.isDirectory ? L"D " : L"F ") + entry.name);
        return entries;
    }

    // TLS required where the server speaks it, so that nothing goes unencrypted unnoticed.
    FTPSettings Destination(const std::wstring& folder) const {
        FTPSettings destination = DestinationOn(*m_server, folder);
        if (GetParam().tls == Tls::Explicit) destination.encryption = FTPEncryption::ExplicitRequired;
        if (GetParam().tls == Tls::Implicit) destination.encryption = FTPEncryption::Implicit;
        return destination;
    }

    std::unique_ptr<CTaskResult> Upload(const UploadJob& job) {
        m_engine.Upload(Destination(L"/upload"), job.key, job, m_inbox.Ref());
        if (!m_inbox.WaitForResults(m_inbox.results.size() + 1)) return nullptr;
        return std::move(m_inbox.results.back());
    }
    std::unique_ptr<DirectoryContent> List(const std::wstring& folder, std::unique_ptr<CTaskResult>& result) {
        m_engine.GetDirectoryContent(Destination(folder), m_inbox.Ref());
        if (!m_inbox.WaitForResults(m_inbox.results.size() + 1)) return nullptr;
        result = std::move(m_inbox.results.back());
        return std::move(m_inbox.listings.back());
    }

    PyFtpdServer* m_server = nullptr;
    testsupport::TempDir m_local;
    TaskInbox m_inbox;
    CFTPEngine m_engine{kTimeouts};
};

TEST_P(Interop, TreeOfAwkwardNamesArrivesExactlyAndListsAsOnDisk) {
    std::vector<testsupport::AwkwardFile> files = testsupport::AwkwardTree(GetParam().offersUtf8);
    if (!GetParam().keepsBlanks)  // those names are the next test's
        std::erase_if(files, [](const auto& file) { return file.path.find(L' ') == 0 || file.path.find(L"/ ") != std::wstring::npos; });
    const fs::path base = m_local.Path();
    testsupport::WriteAwkwardTree(base / "awkward", files);
    auto result = Upload(JobOf(base, {base / "awkward"}));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Succeeded()) << result->errorCode << " " << testing::PrintToString(result->reply.text);
    EXPECT_EQ(!Sent(result->transcript, L"OPTS UTF8 ON").empty(), GetParam().offersUtf8);
    EXPECT_EQ(!Sent(result->transcript, L"PROT P").empty(), GetParam().tls != Tls::None);

    // Byte for byte, names included.
    std::map<std::string, std::size_t> expected;
    for (const auto& file : files)
        expected[DiskName(file.path)] = Hash(ReadFile(base / "awkward" / testsupport::NativePath(file.path)));
    const fs::path remote = m_server->Root() / "upload" / "awkward";
    ASSERT_TRUE(fs::exists(remote));
    EXPECT_EQ(DiskTree(remote), expected);

    // Every folder lists as it is on disk.
    std::vector<fs::path> folders{remote};
    for (const auto& entry : fs::recursive_directory_iterator(remote))
        if (entry.is_directory()) folders.push_back(entry.path());
    for (const fs::path& folder : folders) {
        std::wstring path = L"/upload/awkward";
        for (const auto& part : fs::relative(folder, remote))
            if (part != ".") path += L"/" + NameFromDisk(part.string());
        SCOPED_TRACE(testing::PrintToString(path));
        std::unique_ptr<CTaskResult> listed;
        std::unique_ptr<DirectoryContent> content = List(path, listed);
        ASSERT_TRUE(listed);
        ASSERT_TRUE(content) << listed->errorCode << " " << testing::PrintToString(listed->reply.text);
        EXPECT_EQ(content->folder, path) << "the folder itself was entered, not an ancestor";
        EXPECT_EQ(Listed(*content), DiskEntries(folder)) << testing::PrintToString(content->listing);
    }
}

// A name the server cannot store as it is must end the job with the server's reply: the file
// before it stored, one after it only as far as its own connection got it confirmed, and never a
// success under another name.
TEST_P(Interop, NameTheServerCannotStoreFailsTheJobWithItsReply) {
    struct Refused {
        const char* why;
        std::wstring name;
        std::wstring folder;
        bool applies;
    };
    const Refused cases[] = {
        {"longer than the file system takes (255 bytes)", std::wstring(300, L'x'), L"", true},
        {"a file whose name begins with a blank", L" leading blank.txt", L"", !GetParam().keepsBlanks},
        {"a folder whose name begins with a blank", L"inside.txt", L"\\ leading folder", !GetParam().keepsBlanks},
    };
    const fs::path base = m_local.Path();
    for (const char* name : {"1", "2", "3"}) WriteFile(base / name, 100, name[0]);
    int run = 0;
    for (const Refused& c : cases) {
        if (!c.applies) continue;
        SCOPED_TRACE(c.why);
        const std::wstring folder = L"refused " + std::to_wstring(++run);
        UploadJob job;
        job.key = L"refused";
        job.AddFile({(base / "1").wstring(), L"first.txt", folder, 100});
        job.AddFile({(base / "2").wstring(), c.name, folder + c.folder, 100});
        job.AddFile({(base / "3").wstring(), L"after.txt", folder, 100});
        auto result = Upload(job);
        ASSERT_TRUE(result);
        EXPECT_FALSE(result->Succeeded());
        EXPECT_EQ(result->errorCode, 0u);
        EXPECT_TRUE(result->reply.code / 100 == 4 || result->reply.code / 100 == 5)
            << testing::PrintToString(result->reply.text);
        const fs::path remote = m_server->Root() / "upload" / DiskName(folder);
        EXPECT_EQ(ReadFile(remote / "first.txt"), ReadFile(base / "1"));
        const std::vector<std::wstring> done = m_inbox.Files(WM_UPLOAD_FILE_DONE);
        if (std::find(done.begin(), done.end(), (base / "3").wstring()) == done.end()) {
            EXPECT_FALSE(fs::exists(remote / "after.txt"));  // never there without its 226
        }
        EXPECT_FALSE(std::find(done.begin(), done.end(), (base / "2").wstring()) != done.end());
    }
}

// Four connections share out a tree of 500 files in nested folders: each folder is made once
// (another connection entering it meanwhile is no error) and every file arrives byte for byte.
TEST_P(Interop, FiveHundredFilesInNestedFoldersOverFourConnections) {
    if (std::string(GetParam().name) != "pyftpdlib" && std::string(GetParam().name) != "vsftpd")
        GTEST_SKIP() << "the walk is the same on the other servers";
    const fs::path base = m_local.Path();
    std::map<std::string, std::size_t> expected;
    for (int i = 0; i < 500; ++i) {
        const std::string path = "many/d" + std::to_string(i % 5) + "/e" + std::to_string(i % 3) + "/f" + std::to_string(i);
        WriteFile(base / path, 1 + (i * 997) % 20000, static_cast<char>('a' + i % 7));
        expected[fs::path(path).lexically_relative("many").string()] = Hash(ReadFile(base / path));
    }
    auto result = Upload(JobOf(base, {base / "many"}));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->Succeeded()) << result->errorCode << " " << testing::PrintToString(result->reply.text);
    EXPECT_EQ(Sent(result->transcript, L"USER").size(), 4u);
    EXPECT_EQ(Sent(result->transcript, L"STOR").size(), 500u);
    EXPECT_EQ(m_inbox.Files(WM_UPLOAD_FILE_DONE).size(), 500u);
    EXPECT_EQ(DiskTree(m_server->Root() / "upload" / "many"), expected);
}

INSTANTIATE_TEST_SUITE_P(Servers, Interop, ::testing::ValuesIn(kSetups),
                         [](const ::testing::TestParamInfo<ServerSetup>& setup) { return setup.param.name; });

}  // namespace
