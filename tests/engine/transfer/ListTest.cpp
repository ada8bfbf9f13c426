// Listings of real folders from a real server (pyftpdlib speaking the ANSI code page), read
// through the data connection and the listing parser.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "Orvane/engine/protocol/DirectoryListing.h"
#include "Orvane/engine/protocol/FTPCommandSequenceChangeDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceNlst.h"
#include "Orvane/engine/protocol/FTPCommandSequenceTypeA.h"
#include "tests/engine/transfer/TransferTestSupport.h"
#include "tests/support/PyFtpdServer.h"

namespace {

namespace fs = std::filesystem;
using platform::Event;
using platform::EventReset;
using testing::UnorderedElementsAre;

const FTPTimeouts& kTimeouts = transfertest::kRealServerTimeouts;

class List : public testsupport::FtpServerFixture {
protected:
    testsupport::PyFtpdServer::Options ServerOptions() const override {
        testsupport::PyFtpdServer::Options options;
        options.cp1252 = true;
        return options;
    }

    void SetUp() override {
        FtpServerFixture::SetUp();
        if (!ServerStarted()) return;
        fs::create_directories(Root() / "sub dir" / "deeper");
        fs::create_directories(Root() / "empty");
        std::ofstream(Root() / "file one.txt") << "hello";
        std::ofstream(Root() / fs::path(u8"caf\u00e9.txt")) << std::string(70000, 'x');
        for (int k = 0; k < 300; ++k) std::ofstream(Root() / "sub dir" / ("name " + std::to_string(k)));
        m_connection = transfertest::LogIn(Server(), m_abort, m_transcript);
        CFTPCommandSequenceTypeA(m_connection, m_abort, m_transcript, kTimeouts).Run();
    }

    template <class Sequence>
    FTPReply Run(std::wstring& listing) {
        return Sequence(m_connection, m_abort, m_transcript, kTimeouts).Run(listing);
    }
    void ChangeTo(const std::string& folder) {
        CFTPCommandSequenceChangeDir(m_connection, m_abort, m_transcript, kTimeouts).Run(folder);
    }

    Event m_abort{EventReset::Manual};
    CFTPControlConnection m_connection;
    std::vector<std::wstring> m_transcript;
};

std::vector<std::wstring> Names(const std::vector<DirectoryEntry>& entries, bool directories) {
    std::vector<std::wstring> names;
    for (const auto& e : entries)
        if (directories ? e.isDirectory : e.isFile) names.push_back(e.name);
    return names;
}

TEST_F(List, ListsFilesAndFoldersWithSpacesAndAnsiNames) {
    std::wstring listing;
    EXPECT_EQ(Run<CFTPCommandSequenceList>(listing).code, 226);
    const auto entries = ParseListing(listing);
    EXPECT_THAT(Names(entries, true), UnorderedElementsAre(L"sub dir", L"empty"));
    EXPECT_THAT(Names(entries, false), UnorderedElementsAre(L"file one.txt", L"caf\u00e9.txt"));
}

TEST_F(List, LongListingArrivesWholeAndEmptyFolderGivesNothing) {
    ChangeTo("sub dir");
    std::wstring listing;
    EXPECT_EQ(Run<CFTPCommandSequenceList>(listing).code, 226);
    EXPECT_EQ(Names(ParseListing(listing), false).size(), 300u);
    EXPECT_THAT(Names(ParseListing(listing), true), UnorderedElementsAre(L"deeper"));

    ChangeTo("..");
    ChangeTo("empty");
    EXPECT_EQ(Run<CFTPCommandSequenceList>(listing).code, 226);
    EXPECT_EQ(listing, L"");
}

TEST_F(List, NlstGivesTheNamesOneALine) {
    std::wstring listing;
    EXPECT_EQ(Run<CFTPCommandSequenceNlst>(listing).code, 226);
    for (const wchar_t* name : {L"sub dir\r\n", L"empty\r\n", L"file one.txt\r\n", L"caf\u00e9.txt\r\n"})
        EXPECT_NE(listing.find(name), std::wstring::npos) << testing::PrintToString(std::wstring(name));
}

}  // namespace
