#include "Orvane/engine/protocol/DirectoryListing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/TextCodec.h"
#include "tests/support/PyFtpdServer.h"

namespace {

// An entry as one line of text, so that a whole listing compares as a list: the flags
// (F file, D directory, C current, P parent, L link) and the name.
std::vector<std::wstring> Describe(const std::vector<DirectoryEntry>& entries) {
    std::vector<std::wstring> lines;
    for (const auto& e : entries)
        lines.push_back(std::wstring{e.isFile ? L'F' : L'-', e.isDirectory ? L'D' : L'-', e.isCurrent ? L'C' : L'-',
                                     e.isParent ? L'P' : L'-', e.isLink ? L'L' : L'-'} + L" \"" + e.name + L"\"");
    return lines;
}

DirectoryEntry File(std::wstring name) { return {std::move(name), true, false, false, false, false}; }
DirectoryEntry Folder(std::wstring name) { return {std::move(name), false, true, false, false, false}; }
DirectoryEntry Link(std::wstring name) { return {std::move(name), false, true, false, false, true}; }

// A listing kept under tests/engine/protocol/data, read as the engine reads it in `page`.
std::wstring ReadListing(const char* fileName, platform::CodePage page) {
    const auto path = testsupport::SourceDir() / "tests" / "engine" / "protocol" / "data" / fileName;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << path.string();
    return platform::FromAnsi(std::string{std::istreambuf_iterator<char>(in), {}}, page);
}

}  // namespace

// Shapes the listings kept as test data (below) do not show. A line of no known shape is refused
// and leaves the entry as it was; one that is read sets every field.
TEST(ParseListingLine, ReadsUnixAndDosLinesAndRefusesOtherShapes) {
    const DirectoryEntry untouched{L"untouched", true, true, true, true, true};
    struct Case {
        const char* line;
        DirectoryEntry entry;  // `untouched` where the line is refused
    };
    const Case cases[] = {
        {"drwxr-xr-x 2 ben staff 4096 Nov 30 2022 Mar 5 10:00 notes", Folder(L"Mar 5 10:00 notes")},
        {"-rw-r--r-- 1 May Decker 100 Mar  3 09:15 x", File(L"x")},  // month names in owner and group
        {"drwxr-xr-x 2 ben staff 4096 jan 12 2008 docs", Folder(L"docs")},
        // no group, no link count
        {"drwxr-xr-x 2 ben 4096 Jan 12 2008 docs", Folder(L"docs")},
        {"drwxr-xr-x 4096 Jan 12 2008 docs", Folder(L"docs")},
        // any ten characters, or anything with one of "drwx-", passes for a permission field
        {"0123456789 1 owner group 0 Jan 12 2008 file", File(L"file")},
        // MS-DOS style (IIS): "<DIR>" is padded to the column of file names
        {"01-12-08  10:05AM       <DIR>            two leading", Folder(L"  two leading")},
        {"03-03-21  09:15PM                 1234  leading.txt", File(L" leading.txt")},
        {"12-07-26  10:00AM  <DIR>  name", Folder(L"name")},
        {"12-07-2026  10:00pm  1234 May plans", File(L"May plans")},
        {"12-07-26  22:00  <DIR>  late", Folder(L"late")},
        {"", untouched},
        {"total 48", untouched},
        {"readme.txt", untouched},  // NLST's bare names
        {"drwxr-xr-x 2 ben staff 4096 12 Jan 2008 docs", untouched},  // the day must follow the month
        {"drwxr-xr-x 2 ben staff four Jan 12 2008 docs", untouched},  // no size before the month
        {"drwxr-xr-x 2 ben staff 4096 Janu 12 2008 docs", untouched},
        {"drwxr-xr-x 2 ben staff 4096 Jan 32 2008 docs", untouched},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 20080 docs", untouched},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008 ", untouched},
        {"lrwxrwxrwx 1 ben staff 9 Apr  1 2020  -> /var/www", untouched},
        {"01-12-08  10:05AM       <DIR>            ", untouched},
        {"03-03-21  09:15PM                 12a4 notes.txt", untouched},
        {"03-03-21  9.15PM  1234 notes.txt", untouched},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        DirectoryEntry entry = untouched;
        EXPECT_EQ(ParseListingLine(platform::FromAnsi(c.line), entry), c.entry.name != untouched.name);
        EXPECT_EQ(Describe({entry}), Describe({c.entry}));
    }
}

// A parser that copies the rest of the listing per line would take hours on the large one.
TEST(ParseListing, CutsLinesAtLfWithOrWithoutCrAndKeepsEveryLineOfALargeListing) {
    const std::wstring a = L"-rw-r--r-- 1 u g 0 Jan 12 10:05 a";
    const std::wstring b = L"-rw-r--r-- 1 u g 0 Jan 12 10:05 b";
    std::wstring large;
    std::vector<DirectoryEntry> many;
    for (int k = 0; k < 100000; ++k) {
        large += L"-rw-r--r--   1 owner    group        1234 Jan 12 10:05 file " + std::to_wstring(k) + L"\r\n";
        many.push_back(File(L"file " + std::to_wstring(k)));
    }
    const struct {
        std::wstring listing;
        std::vector<DirectoryEntry> entries;
    } cases[] = {
        {a + L"\r\n" + b, {File(L"a"), File(L"b")}},
        {a + L"\n" + b + L"\r\n", {File(L"a"), File(L"b")}},
        {a + L"\r" + b + L"\r\n", {File(L"a\r-rw-r--r-- 1 u g 0 Jan 12 10:05 b")}},
        {L"\r\n\n\r\n" + a + L"\r\n\r\n", {File(L"a")}},
        {a + L"\r\r\n", {File(L"a\r")}},
        {std::wstring(L"-rw-r--r-- 1 u g 0 Jan 12 10:05 x\0y\r\n", 37), {File(std::wstring(L"x\0y", 3))}},
        {large, many},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::ToAnsi(c.listing.substr(0, 80)));
        EXPECT_EQ(Describe(ParseListing(c.listing)), Describe(c.entries));
    }
}

// Listings as servers send them, over a raw data connection so that the line ends are the
// server's: each server of the interop matrix listing the same folder (tools/capture-listings),
// and the shapes of other servers written by hand.
TEST(ParseListing, ReadsListingsKeptAsTestData) {
    using platform::CodePage;
    const std::vector<DirectoryEntry> captured = {
        File(L"  two leading blanks.txt"), Folder(L" leading folder"), Folder(L"Jan 2024 report"),
        Folder(L"Marketing"), File(L"May plans.txt"), File(L"caf\u00e9 \u00e9.txt"), Folder(L"docs"),
        File(L"empty"), Link(L"link to docs"), Link(L"plans link")};
    std::vector<DirectoryEntry> capturedUtf8 = captured;
    capturedUtf8.push_back(File(L"\u03a9mega \u0416.txt"));
    const struct {
        const char* file;
        CodePage page;
        std::vector<DirectoryEntry> entries;
    } cases[] = {
        {"pyftpdlib-list.txt", CodePage::Utf8, capturedUtf8},
        {"proftpd-list.txt", CodePage::Utf8, capturedUtf8},
        {"pure-ftpd-list.txt", CodePage::Utf8, capturedUtf8},
        {"vsftpd-list.txt", CodePage::SystemAnsi, captured},
        {"pyftpdlib-cp1252-list.txt", CodePage::SystemAnsi, captured},
        {"unix-ls.txt", CodePage::SystemAnsi,
         {{L".", false, false, true, false, false}, {L"..", false, false, false, true, false}, Folder(L"docs"),
          Folder(L"docs recent"), Folder(L"Annual Reports 2019"), File(L"notes.txt"), File(L"party.txt"),
          Link(L"latest"), Link(L"www"), Folder(L"shared"), File(L"owned-by-janet.txt"), Folder(L"Dec reports"),
          Folder(L"May plans"), Folder(L"14:30 archive"), File(L"trailing "), File(L"null"), Folder(L"private"),
          // 8-bit names as the engine reads them, whatever the ANSI code page
          Folder(platform::FromAnsi("caf\xe9")), File(platform::FromAnsi("na\xefve r\xe9sum\xe9.doc"))}},
        {"dos.txt", CodePage::SystemAnsi,
         {Folder(L"docs"), File(L"notes.txt"), Folder(L"Program Files"), File(L"Jan report.txt")}},
        {"windows-iis-unix-style.txt", CodePage::SystemAnsi, {Folder(L"docs"), File(L"notes.txt"), Folder(L"My Web Site")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(Describe(ParseListing(ReadListing(c.file, c.page))), Describe(c.entries));
    }
}

TEST(IsEmptyFolderReply, TellsAnEmptyFolderFromARefusal) {
    EXPECT_TRUE(IsEmptyFolderReply({450, L"450 No files found\r\n"}));
    EXPECT_TRUE(IsEmptyFolderReply({450, L"450 Directory is EMPTY\r\n"}));
    EXPECT_FALSE(IsEmptyFolderReply({550, L"550 Permission denied.\r\n"}));
    // a data connection that failed says so by its code
    EXPECT_FALSE(IsEmptyFolderReply({425, L"425 No files found\r\n"}));
}
