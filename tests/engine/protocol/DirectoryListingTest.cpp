#include "Orvane/engine/protocol/DirectoryListing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/TextCodec.h"
#include "tests/support/PyFtpdServer.h"

namespace {

// An entry as one line of text, so that a whole listing compares as a list and a mismatch
// shows every line: the flags (F file, D directory, C current, P parent) and the name, with
// characters outside printable ASCII as their numbers.
std::string Describe(const DirectoryEntry& entry) {
    std::string text;
    text += entry.isFile ? 'F' : '-';
    text += entry.isDirectory ? 'D' : '-';
    text += entry.isCurrent ? 'C' : '-';
    text += entry.isParent ? 'P' : '-';
    text += " \"";
    for (wchar_t c : entry.name) {
        if (c >= 0x20 && c < 0x7F) text += static_cast<char>(c);
        else text += "\\x" + std::to_string(static_cast<unsigned long>(c));
    }
    return text + "\"";
}

std::vector<std::string> Describe(const std::vector<DirectoryEntry>& entries) {
    std::vector<std::string> lines;
    for (const auto& entry : entries) lines.push_back(Describe(entry));
    return lines;
}

// Names are written here as the 8-bit bytes a server sends and read as the engine reads them,
// so the expectations hold in whatever ANSI code page the tests run.
DirectoryEntry Entry(const char* name, bool isFile, bool isDirectory, bool isCurrent, bool isParent) {
    return {platform::FromAnsi(name), isFile, isDirectory, isCurrent, isParent};
}
DirectoryEntry File(const char* name) { return Entry(name, true, false, false, false); }
DirectoryEntry Folder(const char* name) { return Entry(name, false, true, false, false); }
DirectoryEntry Current() { return Entry(".", false, false, true, false); }
DirectoryEntry Parent() { return Entry("..", false, false, false, true); }

std::string Printable(std::wstring_view text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else if (c == L'\r') out += "\\r";
        else if (c == L'\n') out += "\\n";
        else out += "\\x" + std::to_string(static_cast<unsigned long>(c));
    }
    return out;
}

// A listing kept under tests/engine/protocol/data, read as the engine reads a data connection.
std::wstring ReadListing(const char* fileName) {
    const auto path = testsupport::SourceDir() / "tests" / "engine" / "protocol" / "data" / fileName;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << path.string();
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return platform::FromAnsi(bytes, platform::CodePage::SystemAnsi);
}

}  // namespace

// ---- NextToken ----------------------------------------------------------------------------

TEST(NextToken, CutsSpaceDelimitedTokensButNeverTheLastWord) {
    struct Case {
        std::wstring_view rest;
        std::wstring_view token;
        std::wstring_view restAfter;
    };
    const Case cases[] = {
        {L"Jan 12 2008 docs", L"Jan", L"12 2008 docs"},
        {L"   12 2008", L"12", L"2008"},
        {L"12  docs", L"12", L" docs"},  // only the one space after the token goes
        {L"a ", L"a", L""},
        {L" ", L"", L""},
        {L"   ", L"", L""},
        {L"  docs", L"", L"docs"},        // leading spaces go even when no token comes out
        {L"docs", L"", L"docs"},          // the last word stays in rest
        {L"", L"", L""},
        {L"a\tb c", L"a\tb", L"c"},       // only the space character separates
        {L"name\r", L"", L"name\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.rest));
        std::wstring_view rest = c.rest;
        EXPECT_EQ(NextToken(rest), c.token);
        EXPECT_EQ(rest, c.restAfter);
    }
}

// ---- One line -----------------------------------------------------------------------------

TEST(ParseListingLine, ReadsNameAndKindOfUnixLongListingLines) {
    struct Case {
        const char* line;
        DirectoryEntry entry;
    };
    const Case cases[] = {
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008 docs", Folder("docs")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 10:05 docs", Folder("docs")},
        {"drwxr-xr-x   2 ben      staff        4096 Jan 12  2008 docs", Folder("docs")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008 my docs", Folder("my docs")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008 a b  c", Folder("a b  c")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 10:05 two  spaces", Folder("two  spaces")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 10:05    leading", Folder("leading")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008  leading", Folder("leading")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008 10:05 docs", Folder("docs")},  // time after the year
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008 10:05  my docs", Folder("my docs")},
        {"drwxr-xr-x 2 ben staff 4096 Mar  3 09:15 .", Current()},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12  2008 ..", Parent()},
        {"-rw-r--r-- 1 ben staff 1234 Mar  3 09:15 notes.txt", File("notes.txt")},
        {"-rw-r--r-- 1 ben staff 1234 Mar  3 2020 notes.txt", File("notes.txt")},
        {"lrwxrwxrwx 1 ben staff 9 Apr  1 12:00 latest -> notes.txt", File("latest -> notes.txt")},
        {"lrwxrwxrwx 1 ben staff 9 Apr  1 2020 www -> /var/www", File("www -> /var/www")},
        {"crw-rw-rw- 1 root root 1, 3 Aug  8 08:08 null", File("null")},
        {"-rw-r--r-- 1 ben staff 5 Sep 09 2023 trailing ", File("trailing ")},
        {"drwxr-xr-x 2 ben staff 4096 Sep 09 2023 ", Folder("")},
        {"-rw-r--r-- 1 ben staff 0 Jan 12 10:05 .", Entry(".", true, false, true, false)},
        {"-rw-r--r-- 1 ben staff 0 Jan 12 10:05 ..", Entry("..", true, false, false, true)},
        // any ten characters, or anything with one of "drwx-", passes for a permission field
        {"d--------- 1 owner group 0 Jan 12 2008 docs", Folder("docs")},
        {"0123456789 1 owner group 0 Jan 12 2008 file", File("file")},
        {"drwxrwsr-x+ 3 ben staff 4096 Jun 30 2021 shared", Folder("shared")},
        {"d 3 ben staff 4096 Jun 30 2021 shared", Folder("shared")},
        {"xyz 3 ben staff 4096 Jun 30 2021 shared", File("shared")},
        // the first month in calendar order wins, wherever it stands
        {"drwxr-xr-x 2 ben staff 4096 Jul  4 2022 Dec reports", Folder("Dec reports")},
        {"drwxr-xr-x 2 ben staff 4096 Feb  4 2022 Mar 5 notes", Folder("Mar 5 notes")},
        {"drwxr-xr-x 2 ben staff 4096 Nov 30 2022 Mar 5 10:00 notes", Folder("notes")},
        // day and year are read as atoi would
        {"drwxr-xr-x 2 ben staff 4096 Jan 1x 2008 docs", Folder("docs")},
        {"drwxr-xr-x 2 ben staff 4096 Jan -1 2008 docs", Folder("docs")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 20x8 docs", Folder("docs")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 -1 docs", Folder("docs")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 9999 docs", Folder("docs")},
        {"drwxr-xr-x 2 ben staff 4096 Nov 11 2011 caf\xe9", Folder("caf\xe9")},
        {"-rw-r--r-- 1 ben staff 2 Dec 07 10:53 na\xc3\xafve caf\xc3\xa9.txt", File("na\xc3\xafve caf\xc3\xa9.txt")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        DirectoryEntry entry;
        ASSERT_TRUE(ParseListingLine(platform::FromAnsi(c.line), entry));
        EXPECT_EQ(Describe(entry), Describe(c.entry));
    }
}

TEST(ParseListingLine, RejectsLinesOfOtherShapes) {
    const char* const cases[] = {
        "",
        " ",
        "drwxr-xr-x",
        "total 48",
        "total 0",
        " drwxr-xr-x 2 ben staff 4096 Jan 12 2008 docs",  // empty permission field
        "Directory of C:\\inetpub",
        "01-12-08  10:05AM       <DIR>          docs",
        "03-03-21  09:15PM                 1234 notes.txt",
        "12-24-22  11:59PM                  512 Jan report.txt",
        "drwxr-xr-x 2 ben staff 4096 jan 12 2008 docs",  // month names are case-sensitive
        "drwxr-xr-x 2 ben staff 4096 JAN 12 2008 docs",
        "drwxr-xr-x 2 ben staff 4096 12 Jan 2008 docs",  // the day must follow the month
        "drwxr-xr-x 2 ben staff 4096 2008-01-12 docs",
        // a month name in the owner is taken for the date, and the day test then fails
        "-rw-r--r-- 1 Janet staff 100 Mar  3 09:15 owned-by-janet.txt",
        "drwxr-xr-x 2 ben staff 4096 Jul  4 2022 May plans",
        // day: at most two characters, not zero
        "drwxr-xr-x 2 ben staff 4096 Jan 123 2008 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 0 2008 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 00 2008 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan x 2008 docs",
        // year: at most four characters, not zero
        "drwxr-xr-x 2 ben staff 4096 Jan 12 20080 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 12 0 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 12 year docs",
        // a last word with no space after it is no token
        "drwxr-xr-x 2 ben staff 4096 Jan",
        "drwxr-xr-x 2 ben staff 4096 Jan 12",
        "drwxr-xr-x 2 ben staff 4096 Jan 12 2008",
        "drwxr-xr-x 2 ben staff 4096 Jan 12 docs",
    };
    for (const char* line : cases) {
        SCOPED_TRACE(line);
        DirectoryEntry entry{L"untouched", true, true, true, true};
        EXPECT_FALSE(ParseListingLine(platform::FromAnsi(line), entry));
        EXPECT_EQ(Describe(entry), Describe(Entry("untouched", true, true, true, true)));
    }
}

// ---- Whole listings -----------------------------------------------------------------------

TEST(ParseListing, TakesOnlyTextEndedByCrLfAsLines) {
    struct Case {
        std::wstring_view listing;
        std::vector<DirectoryEntry> entries;
    };
    const std::wstring unended = L"drwxr-xr-x 2 u g 0 Jan 12 2008 docs";
    const std::wstring a = L"-rw-r--r-- 1 u g 0 Jan 12 10:05 a";
    const std::wstring b = L"-rw-r--r-- 1 u g 0 Jan 12 10:05 b";
    const std::wstring twoLines = a + L"\r\n" + b + L"\r\n";
    const std::wstring lastUnended = a + L"\r\n" + b;
    const std::wstring bareLf = a + L"\n" + b + L"\n";
    const std::wstring mixed = a + L"\n" + b + L"\r\n";
    const std::wstring loneCr = a + L"\r" + b + L"\r\n";
    const std::wstring blankLines = L"\r\n\r\n" + a + L"\r\n\r\n";
    const std::wstring crCrLf = a + L"\r\r\n";
    const std::wstring withNul = std::wstring(L"-rw-r--r-- 1 u g 0 Jan 12 10:05 x\0y\r\n", 37);
    const Case cases[] = {
        {L"", {}},
        {L"\r\n", {}},
        {twoLines, {File("a"), File("b")}},
        {lastUnended, {File("a")}},
        {unended, {}},
        {bareLf, {}},
        {mixed, {File("a\n-rw-r--r-- 1 u g 0 Jan 12 10:05 b")}},
        {loneCr, {File("a\r-rw-r--r-- 1 u g 0 Jan 12 10:05 b")}},
        {blankLines, {File("a")}},
        {crCrLf, {File("a\r")}},
        {withNul, {DirectoryEntry{std::wstring(L"x\0y", 3), true, false, false, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.listing));
        EXPECT_EQ(Describe(ParseListing(c.listing)), Describe(c.entries));
    }
}

// Listings as servers send them: captured from pyftpdlib (LIST over a raw data connection, so
// the CR LF line ends are the server's) and written by hand in the shapes other servers use.
TEST(ParseListing, ReadsListingsKeptAsTestData) {
    struct Case {
        const char* file;
        std::vector<DirectoryEntry> entries;
    };
    const Case cases[] = {
        {"pyftpdlib-list-root.txt",
         {File(".hidden"), Folder("My Documents"), Folder("Old Folder"), File("data.bin"), Folder("docs"),
          Folder("empty"), File("file with spaces.txt"), File("link to docs -> docs"),
          File("link-to-readme -> readme.txt"), File("na\xc3\xafve caf\xc3\xa9.txt"), File("old.txt"),
          File("readme.txt"), Folder("sub"), Folder("two  spaces")}},
        {"pyftpdlib-list-sub.txt", {File("a.txt"), Folder("inner")}},
        {"pyftpdlib-list-empty.txt", {}},
        // NLST gives bare names, and curl turns the CR LF of an ASCII listing into LF: no lines
        {"pyftpdlib-nlst-root.txt", {}},
        {"pyftpdlib-list-root-curl-lf.txt", {}},
        {"unix-ls.txt",
         {Current(), Parent(), Folder("docs"), Folder("docs recent"), Folder("Annual Reports 2019"),
          File("notes.txt"), File("party.txt"), File("latest -> notes.txt"), File("www -> /var/www/html"),
          Folder("shared"), Folder("Dec reports"), Folder("archive"), File("trailing "), File("null"),
          Folder("private"), Folder("caf\xe9"), File("na\xefve r\xe9sum\xe9.doc")}},
        {"dos.txt", {}},
        {"windows-iis-unix-style.txt", {Folder("docs"), File("notes.txt"), Folder("My Web Site")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(Describe(ParseListing(ReadListing(c.file))), Describe(c.entries));
    }
}

TEST(ParseListing, KeepsEveryLineOfALargeListingInOrder) {
    constexpr int kLines = 100000;
    std::wstring listing;
    listing.reserve(kLines * 60);
    for (int k = 0; k < kLines; ++k)
        listing += L"-rw-r--r--   1 owner    group        1234 Jan 12 10:05 file " + std::to_wstring(k) + L"\r\n";
    const std::vector<DirectoryEntry> entries = ParseListing(listing);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(kLines));
    for (int k = 0; k < kLines; k += 9973) {
        SCOPED_TRACE(k);
        EXPECT_EQ(entries[k].name, L"file " + std::to_wstring(k));
    }
    EXPECT_EQ(entries.back().name, L"file " + std::to_wstring(kLines - 1));
}

// ---- The posted record --------------------------------------------------------------------

TEST(DirectoryContent, ParsesTheListingItCarries) {
    const std::wstring listing = ReadListing("pyftpdlib-list-sub.txt");
    const DirectoryContent content(L"/upload/sub", listing, L"");
    EXPECT_EQ(content.folder, L"/upload/sub");
    EXPECT_EQ(content.listing, listing);
    EXPECT_EQ(Describe(content.entries), Describe(std::vector{File("a.txt"), Folder("inner")}));
    EXPECT_EQ(content.reserved, L"");
}
