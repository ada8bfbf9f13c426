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
// shows every line: the flags (F file, D directory, C current, P parent, L link) and the name,
// with characters outside printable ASCII as their numbers.
std::string Describe(const DirectoryEntry& entry) {
    std::string text;
    text += entry.isFile ? 'F' : '-';
    text += entry.isDirectory ? 'D' : '-';
    text += entry.isCurrent ? 'C' : '-';
    text += entry.isParent ? 'P' : '-';
    text += entry.isLink ? 'L' : '-';
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

// 8-bit names are written as the bytes a server sends and read as the engine reads them, so
// the expectations hold in whatever ANSI code page the tests run.
std::wstring Ansi(const char* name) { return platform::FromAnsi(name); }

DirectoryEntry File(std::wstring name) { return {std::move(name), true, false, false, false, false}; }
DirectoryEntry Folder(std::wstring name) { return {std::move(name), false, true, false, false, false}; }
DirectoryEntry Link(std::wstring name) { return {std::move(name), false, true, false, false, true}; }
DirectoryEntry Current() { return {L".", false, false, true, false, false}; }
DirectoryEntry Parent() { return {L"..", false, false, false, true, false}; }

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

// A listing kept under tests/engine/protocol/data, read as the engine reads a data connection
// in `page`.
std::wstring ReadListing(const char* fileName, platform::CodePage page = platform::CodePage::SystemAnsi) {
    const auto path = testsupport::SourceDir() / "tests" / "engine" / "protocol" / "data" / fileName;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << path.string();
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return platform::FromAnsi(bytes, page);
}

}  // namespace

// ---- One line -----------------------------------------------------------------------------

TEST(ParseListingLine, ReadsTheFieldsOfUnixAndDosLines) {
    struct Case {
        const char* line;
        DirectoryEntry entry;
    };
    const Case cases[] = {
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008 docs", Folder(L"docs")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 10:05 docs", Folder(L"docs")},
        {"drwxr-xr-x   2 ben      staff        4096 Jan 12  2008 docs", Folder(L"docs")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008 my docs", Folder(L"my docs")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008 a b  c", Folder(L"a b  c")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 10:05 two  spaces", Folder(L"two  spaces")},
        // the name starts after the one blank that follows the time or year: its own blanks stay
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 10:05    leading", Folder(L"   leading")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12  2008  leading", Folder(L" leading")},
        {"-rw-r--r-- 1 ben staff 5 Sep 09 2023 trailing ", File(L"trailing ")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 2008 10:05 docs", Folder(L"10:05 docs")},
        {"drwxr-xr-x 2 ben staff 4096 Mar  3  9:15 .", Current()},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12  2008 ..", Parent()},
        {"-rw-r--r-- 1 ben staff 1234 Mar  3 09:15 notes.txt", File(L"notes.txt")},
        {"-rw-r--r-- 1 ben staff 0 Jan 12 10:05 .", {L".", true, false, true, false, false}},
        {"crw-rw-rw- 1 root root 1, 3 Aug  8 08:08 null", File(L"null")},
        // a link is offered as a folder, under its own name
        {"lrwxrwxrwx 1 ben staff 9 Apr  1 12:00 latest -> notes.txt", Link(L"latest")},
        {"lrwxrwxrwx 1 ben staff 9 Apr  1 2020 www data -> /var/www", Link(L"www data")},
        {"lrwxrwxrwx 1 ben staff 9 Apr  1 2020 dangling", Link(L"dangling")},
        // month names in the owner, group or name, and months in any case
        {"-rw-r--r-- 1 Janet staff 100 Mar  3 09:15 owned-by-janet.txt", File(L"owned-by-janet.txt")},
        {"-rw-r--r-- 1 May Decker 100 Mar  3 09:15 x", File(L"x")},
        {"drwxr-xr-x 2 ben staff 4096 Jul  4 2022 May plans", Folder(L"May plans")},
        {"drwxr-xr-x 2 ben staff 4096 Jul  4 2022 Marketing", Folder(L"Marketing")},
        {"drwxr-xr-x 2 ben staff 4096 Feb  4 2022 Mar 5 notes", Folder(L"Mar 5 notes")},
        {"drwxr-xr-x 2 ben staff 4096 Nov 30 2022 Mar 5 10:00 notes", Folder(L"Mar 5 10:00 notes")},
        {"drwxr-xr-x 2 ben staff 4096 jan 12 2008 docs", Folder(L"docs")},
        {"drwxr-xr-x 2 ben staff 4096 JAN 12 2008 docs", Folder(L"docs")},
        // no group, no link count
        {"drwxr-xr-x 2 ben 4096 Jan 12 2008 docs", Folder(L"docs")},
        {"drwxr-xr-x 4096 Jan 12 2008 docs", Folder(L"docs")},
        // any ten characters, or anything with one of "drwx-", passes for a permission field
        {"d--------- 1 owner group 0 Jan 12 2008 docs", Folder(L"docs")},
        {"0123456789 1 owner group 0 Jan 12 2008 file", File(L"file")},
        {"drwxrwsr-x+ 3 ben staff 4096 Jun 30 2021 shared", Folder(L"shared")},
        {"drwxr-xr-x 2 ben staff 4096 Jan 12 9999 docs", Folder(L"docs")},
        {"drwxr-xr-x 2 ben staff 4096 Nov 11 2011 caf\xe9", Folder(Ansi("caf\xe9"))},
        {"-rw-r--r-- 1 ben staff 2 Dec 07 10:53 na\xc3\xafve caf\xc3\xa9.txt", File(Ansi("na\xc3\xafve caf\xc3\xa9.txt"))},
        // MS-DOS style (IIS): "<DIR>" is padded to the column of file names
        {"01-12-08  10:05AM       <DIR>          docs", Folder(L"docs")},
        {"01-12-08  10:05AM       <DIR>            two leading", Folder(L"  two leading")},
        {"03-03-21  09:15PM                 1234 notes.txt", File(L"notes.txt")},
        {"03-03-21  09:15PM                 1234  leading.txt", File(L" leading.txt")},
        {"12-24-22  11:59PM                  512 Jan report.txt", File(L"Jan report.txt")},
        {"12-07-26  10:00AM  <DIR>  name", Folder(L"name")},
        {"12-07-2026  10:00pm  1234 May plans", File(L"May plans")},
        {"12-07-26  22:00  <DIR>  late", Folder(L"late")},
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
        "Directory of C:\\inetpub",
        "drwxr-xr-x 2 ben staff 4096 12 Jan 2008 docs",  // the day must follow the month
        "drwxr-xr-x 2 ben staff 4096 2008-01-12 docs",
        "drwxr-xr-x 2 ben staff four Jan 12 2008 docs",  // no size before the month
        "drwxr-xr-x 2 ben staff 4096 Janu 12 2008 docs",
        // day: one or two digits, 1 to 31
        "drwxr-xr-x 2 ben staff 4096 Jan 123 2008 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 0 2008 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 32 2008 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 1x 2008 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan -1 2008 docs",
        // time or year: "h:mm", "hh:mm" or four digits
        "drwxr-xr-x 2 ben staff 4096 Jan 12 20080 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 12 208 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 12 20x8 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 12 10:5 docs",
        "drwxr-xr-x 2 ben staff 4096 Jan 12 year docs",
        // no name
        "drwxr-xr-x 2 ben staff 4096 Jan 12 2008",
        "drwxr-xr-x 2 ben staff 4096 Jan 12 2008 ",
        "lrwxrwxrwx 1 ben staff 9 Apr  1 2020  -> /var/www",
        "01-12-08  10:05AM       <DIR>",
        "01-12-08  10:05AM       <DIR>            ",
        "03-03-21  09:15PM                 1234",
        "03-03-21  09:15PM                 12a4 notes.txt",
        "3-3-21  09:15PM  1234 notes.txt",
        "03-03-21  9.15PM  1234 notes.txt",
    };
    for (const char* line : cases) {
        SCOPED_TRACE(line);
        DirectoryEntry entry{L"untouched", true, true, true, true, true};
        EXPECT_FALSE(ParseListingLine(platform::FromAnsi(line), entry));
        EXPECT_EQ(Describe(entry), Describe(DirectoryEntry{L"untouched", true, true, true, true, true}));
    }
}

// ---- Whole listings -----------------------------------------------------------------------

TEST(ParseListing, CutsLinesAtLfWithOrWithoutCr) {
    struct Case {
        std::wstring_view listing;
        std::vector<DirectoryEntry> entries;
    };
    const std::wstring a = L"-rw-r--r-- 1 u g 0 Jan 12 10:05 a";
    const std::wstring b = L"-rw-r--r-- 1 u g 0 Jan 12 10:05 b";
    const std::wstring twoLines = a + L"\r\n" + b + L"\r\n";
    const std::wstring lastUnended = a + L"\r\n" + b;
    const std::wstring bareLf = a + L"\n" + b + L"\n";
    const std::wstring mixed = a + L"\n" + b + L"\r\n";
    const std::wstring loneCr = a + L"\r" + b + L"\r\n";
    const std::wstring blankLines = L"\r\n\n\r\n" + a + L"\r\n\r\n";
    const std::wstring crCrLf = a + L"\r\r\n";
    const std::wstring withNul = std::wstring(L"-rw-r--r-- 1 u g 0 Jan 12 10:05 x\0y\r\n", 37);
    const Case cases[] = {
        {L"", {}},
        {L"\r\n", {}},
        {twoLines, {File(L"a"), File(L"b")}},
        {lastUnended, {File(L"a"), File(L"b")}},
        {bareLf, {File(L"a"), File(L"b")}},
        {mixed, {File(L"a"), File(L"b")}},
        {loneCr, {File(L"a\r-rw-r--r-- 1 u g 0 Jan 12 10:05 b")}},
        {blankLines, {File(L"a")}},
        {crCrLf, {File(L"a\r")}},
        {withNul, {File(std::wstring(L"x\0y", 3))}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.listing));
        EXPECT_EQ(Describe(ParseListing(c.listing)), Describe(c.entries));
    }
}

// Listings as servers send them, over a raw data connection so that the line ends are the
// server's: each server of the interop matrix listing the same folder (tools/capture-listings),
// earlier captures of pyftpdlib, and the shapes of other servers written by hand.
TEST(ParseListing, ReadsListingsKeptAsTestData) {
    using platform::CodePage;
    struct Case {
        const char* file;
        CodePage page;
        std::vector<DirectoryEntry> entries;
    };
    const std::vector<DirectoryEntry> captured = {
        File(L"  two leading blanks.txt"), Folder(L" leading folder"), Folder(L"Jan 2024 report"),
        Folder(L"Marketing"), File(L"May plans.txt"), File(L"caf\u00e9 \u00e9.txt"), Folder(L"docs"),
        File(L"empty"), Link(L"link to docs"), Link(L"plans link")};
    std::vector<DirectoryEntry> capturedUtf8 = captured;
    capturedUtf8.push_back(File(L"\u03a9mega \u0416.txt"));
    const Case cases[] = {
        {"pyftpdlib-list.txt", CodePage::Utf8, capturedUtf8},
        {"proftpd-list.txt", CodePage::Utf8, capturedUtf8},
        {"pure-ftpd-list.txt", CodePage::Utf8, capturedUtf8},
        {"vsftpd-list.txt", CodePage::SystemAnsi, captured},
        {"pyftpdlib-cp1252-list.txt", CodePage::SystemAnsi, captured},
        {"pyftpdlib-list-root.txt", CodePage::SystemAnsi,
         {File(L".hidden"), Folder(L"My Documents"), Folder(L"Old Folder"), File(L"data.bin"), Folder(L"docs"),
          Folder(L"empty"), File(L"file with spaces.txt"), Link(L"link to docs"), Link(L"link-to-readme"),
          File(Ansi("na\xc3\xafve caf\xc3\xa9.txt")), File(L"old.txt"), File(L"readme.txt"), Folder(L"sub"),
          Folder(L"two  spaces")}},
        {"pyftpdlib-list-sub.txt", CodePage::SystemAnsi, {File(L"a.txt"), Folder(L"inner")}},
        {"pyftpdlib-list-empty.txt", CodePage::SystemAnsi, {}},
        // NLST gives bare names: no dates, no entries
        {"pyftpdlib-nlst-root.txt", CodePage::SystemAnsi, {}},
        // curl turns the CR LF of an ASCII listing into LF
        {"pyftpdlib-list-root-curl-lf.txt", CodePage::SystemAnsi,
         {File(L".hidden"), Folder(L"My Documents"), Folder(L"Old Folder"), File(L"data.bin"), Folder(L"docs"),
          Folder(L"empty"), File(L"file with spaces.txt"), Link(L"link to docs"), Link(L"link-to-readme"),
          File(Ansi("na\xc3\xafve caf\xc3\xa9.txt")), File(L"old.txt"), File(L"readme.txt"), Folder(L"sub"),
          Folder(L"two  spaces")}},
        {"unix-ls.txt", CodePage::SystemAnsi,
         {Current(), Parent(), Folder(L"docs"), Folder(L"docs recent"), Folder(L"Annual Reports 2019"),
          File(L"notes.txt"), File(L"party.txt"), Link(L"latest"), Link(L"www"), Folder(L"shared"),
          File(L"owned-by-janet.txt"), Folder(L"Dec reports"), Folder(L"May plans"), Folder(L"14:30 archive"),
          File(L"trailing "), File(L"null"), Folder(L"private"), Folder(Ansi("caf\xe9")),
          File(Ansi("na\xefve r\xe9sum\xe9.doc"))}},
        {"dos.txt", CodePage::SystemAnsi,
         {Folder(L"docs"), File(L"notes.txt"), Folder(L"Program Files"), File(L"Jan report.txt")}},
        {"windows-iis-unix-style.txt", CodePage::SystemAnsi, {Folder(L"docs"), File(L"notes.txt"), Folder(L"My Web Site")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(Describe(ParseListing(ReadListing(c.file, c.page))), Describe(c.entries));
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

// ---- Refused listings ---------------------------------------------------------------------

TEST(IsEmptyFolderReply, TellsAnEmptyFolderFromARefusal) {
    struct Case {
        FTPReply reply;
        bool empty;
    };
    const Case cases[] = {
        {{450, L"450 No files found\r\n"}, true},
        {{550, L"550 No files found.\r\n"}, true},
        {{550, L"550 No such file or directory\r\n"}, true},
        {{550, L"550 File not found\r\n"}, true},
        {{450, L"450 Directory is EMPTY\r\n"}, true},
        {{550, L"550 Permission denied.\r\n"}, false},
        {{450, L"450 Transfer aborted\r\n"}, false},
        {{425, L"425 No files found\r\n"}, false},  // a data connection that failed says so by its code
        {{226, L"226 No files found\r\n"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.reply.text));
        EXPECT_EQ(IsEmptyFolderReply(c.reply), c.empty);
    }
}

// ---- The posted record --------------------------------------------------------------------

TEST(DirectoryContent, ParsesTheListingItCarries) {
    const std::wstring listing = ReadListing("pyftpdlib-list-sub.txt");
    const DirectoryContent content(L"/upload/sub", listing, L"");
    EXPECT_EQ(content.folder, L"/upload/sub");
    EXPECT_EQ(content.listing, listing);
    EXPECT_EQ(Describe(content.entries), Describe(std::vector{File(L"a.txt"), Folder(L"inner")}));
    EXPECT_EQ(content.reserved, L"");
}
