#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequenceChangeDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceCreateDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"
#include "Orvane/engine/protocol/FTPCommandSequenceOpenDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceQuit.h"
#include "Orvane/engine/protocol/FTPCommandSequenceRenameDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceTypeA.h"
#include "Orvane/engine/protocol/FTPCommandSequenceTypeI.h"
#include "platform/TextCodec.h"
#include "tests/engine/protocol/ProtocolTestSupport.h"
#include "tests/support/PyFtpdServer.h"

namespace {

using namespace protocoltest;
using platform::Event;
using platform::EventReset;
namespace fs = std::filesystem;

// The sequences against a real server (pyftpdlib), judged by what lands in its folder.
class RealServer : public testsupport::FtpServerFixture {
protected:
    void SetUp() override {
        FtpServerFixture::SetUp();
        if (!ServerStarted()) return;
        m_connection = Connect(Port(), m_abort);
    }
    void TearDown() override {
        m_connection.Close();
        FtpServerFixture::TearDown();
    }

    template <class Sequence>
    Sequence Make() {
        return Sequence(m_connection, m_abort, m_transcript, kTimeouts);
    }
    FTPReply LogIn() {
        return Make<CFTPCommandSequenceLogin>().Run(Server().Settings().user, Server().Settings().password);
    }
    static FTPReply Refusal(const std::function<void()>& call) {
        try {
            call();
        } catch (const FTPReply& reply) {
            return reply;
        }
        ADD_FAILURE() << "the server refused nothing";
        return {};
    }

    Event m_abort{EventReset::Manual};
    CFTPControlConnection m_connection;
    std::vector<std::wstring> m_transcript;
};

TEST_F(RealServer, LoginWithTheRightPasswordRecordsSixLinesWithoutThePassword) {
    const FTPReply reply = LogIn();
    EXPECT_EQ(reply.code, 230);
    ASSERT_EQ(m_transcript.size(), 6u);
    EXPECT_EQ(m_transcript[0], L"");
    EXPECT_EQ(m_transcript[1].substr(0, 4), L"220 ");
    EXPECT_EQ(m_transcript[2], L"USER orvane\r\n");
    EXPECT_EQ(m_transcript[3].substr(0, 4), L"331 ");
    EXPECT_EQ(m_transcript[4], L"PASS ****\r\n");
    EXPECT_EQ(m_transcript[5], reply.text);
    for (const std::wstring& line : m_transcript) EXPECT_EQ(line.find(L"s3cret"), std::wstring::npos) << line;
}

TEST_F(RealServer, LoginWithAWrongPasswordIsRefusedWith530) {
    const FTPReply refused = Refusal([&] { Make<CFTPCommandSequenceLogin>().Run("orvane", "wrong"); });
    EXPECT_EQ(refused.code, 530);
    EXPECT_EQ(m_transcript.back(), refused.text);
}

TEST_F(RealServer, ChangeDirEntersExistingFoldersAndRefusesMissingOnes) {
    fs::create_directories(Root() / "site" / "www");
    LogIn();
    EXPECT_EQ(Make<CFTPCommandSequenceChangeDir>().Run("/site/www").code, 250) << "separators go in one argument";
    EXPECT_EQ(Refusal([&] { Make<CFTPCommandSequenceChangeDir>().Run("/nowhere"); }).code, 550);
}

TEST_F(RealServer, OpenDirCreatesAndEntersAPathWhoseFirstFolderExists) {
    fs::create_directories(Root() / "a");
    LogIn();
    EXPECT_EQ(Make<CFTPCommandSequenceOpenDir>().Run("a\\b\\c").code, 250);
    EXPECT_TRUE(fs::is_directory(Root() / "a" / "b" / "c"));
    // The connection is in the deepest folder: a relative MKD lands there.
    EXPECT_EQ(Make<CFTPCommandSequenceCreateDir>().Run("d").code, 257);
    EXPECT_TRUE(fs::is_directory(Root() / "a" / "b" / "c" / "d"));
    // Climbing back up, as an upload does between folders.
    EXPECT_EQ(Make<CFTPCommandSequenceOpenDir>().Run("..\\..\\e").code, 250);
    EXPECT_TRUE(fs::is_directory(Root() / "a" / "e"));
}

TEST_F(RealServer, CreateDirMakesNewFoldersSideBySideBelowTheExistingOnes) {
    fs::create_directories(Root() / "a");
    LogIn();
    EXPECT_EQ(Make<CFTPCommandSequenceCreateDir>().Run("a\\b\\c").code, 257);
    EXPECT_TRUE(fs::is_directory(Root() / "a" / "b"));
    EXPECT_TRUE(fs::is_directory(Root() / "a" / "c")) << "b was created but not entered";
    EXPECT_FALSE(fs::exists(Root() / "a" / "b" / "c"));
}

TEST_F(RealServer, RenameDirMovesAFolder) {
    fs::create_directories(Root() / "old" / "inside");
    LogIn();
    const FTPReply reply = Make<CFTPCommandSequenceRenameDir>().Run("/old", "/new");
    EXPECT_EQ(reply.code, 250);
    EXPECT_TRUE(fs::is_directory(Root() / "new" / "inside"));
    EXPECT_FALSE(fs::exists(Root() / "old"));
    EXPECT_EQ(Refusal([&] { Make<CFTPCommandSequenceRenameDir>().Run("/old", "/again"); }).code, 550);
}

TEST_F(RealServer, TypeIAndTypeAAreAccepted) {
    LogIn();
    EXPECT_EQ(Make<CFTPCommandSequenceTypeI>().Run().code, 200);
    EXPECT_EQ(Make<CFTPCommandSequenceTypeA>().Run().code, 200);
    EXPECT_EQ(m_transcript.at(6), L"TYPE I\r\n");
    EXPECT_EQ(m_transcript.at(8), L"TYPE A\r\n");
}

TEST_F(RealServer, QuitEndsTheSessionAndNeverFails) {
    LogIn();
    EXPECT_EQ(Make<CFTPCommandSequenceQuit>().Run().code, 200);
    EXPECT_EQ(m_transcript.at(6), L"QUIT\r\n");
    EXPECT_EQ(m_transcript.at(7).substr(0, 4), L"221 ");
    EXPECT_EQ(Make<CFTPCommandSequenceQuit>().Run().code, 200) << "again, on the connection the server closed";
}

// A server that reads command lines in the Windows ANSI code page, as the uploader writes them.
class RealAnsiServer : public RealServer {
protected:
    testsupport::PyFtpdServer::Options ServerOptions() const override {
        testsupport::PyFtpdServer::Options options;
        options.cp1252 = true;
        return options;
    }
};

TEST_F(RealAnsiServer, FolderNamesGoOutInTheAnsiCodePage) {
    LogIn();
    const std::string name = platform::ToAnsi(L"Caf\u00e9 \u20ac");  // é and € in Windows-1252
    ASSERT_EQ(name, "Caf\xe9 \x80");
    const FTPReply reply = Make<CFTPCommandSequenceCreateDir>().Run(name);
    EXPECT_EQ(reply.code, 257);
    EXPECT_NE(reply.text.find(L"Caf\u00e9 \u20ac"), std::wstring::npos) << "and replies are read in it";
    EXPECT_TRUE(fs::is_directory(Root() / fs::path(u8"Caf\u00e9 \u20ac")));
}

}  // namespace
