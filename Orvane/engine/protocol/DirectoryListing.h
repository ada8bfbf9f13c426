#pragma once
#include <string>
#include <string_view>
#include <vector>

// Reading the Unix-style long listing a LIST returns (permissions, links, owner, group, size,
// month, day, year or time, name). Every line of another shape is left out, so servers that
// answer LIST in DOS style give no entries.

// One understood listing line.
struct DirectoryEntry {
    std::wstring name;         // as listed; for a symbolic link "name -> target"
    bool isFile = false;       // the permission field does not start with "d"
    bool isDirectory = false;  // a folder other than "." and ".."
    bool isCurrent = false;    // "."
    bool isParent = false;     // ".."
};

// The record the listing task posts with its done message; the receiving window deletes it.
struct DirectoryContent {
    // Parses `listing` into `entries`.
    DirectoryContent(std::wstring folder, std::wstring listing, std::wstring reserved);

    std::wstring folder;                  // the folder that was listed, as the server has it
    std::wstring listing;                 // the raw LIST text
    std::vector<DirectoryEntry> entries;  // in listing order
    std::wstring reserved;                // passed empty by every task; nothing reads it
};

// The entries of the lines of `listing` that ParseListingLine understands, in order. Lines end
// at CR LF only: text after the last CR LF is not a line, so a listing with bare LF line ends
// gives nothing. Linear in the listing's length; throws nothing but std::bad_alloc.
std::vector<DirectoryEntry> ParseListing(std::wstring_view listing);

// Fills `entry` and returns true when `line` (without its CR LF) is a Unix long listing line;
// otherwise returns false and leaves `entry` as it was.
bool ParseListingLine(std::wstring_view line, DirectoryEntry& entry);

// Cuts the next space-delimited token off `rest`: leading spaces go, the token is the text up
// to the next space, and `rest` continues after that space. When `rest` holds no space the
// token is empty and `rest` keeps its text: a last word with nothing after it is never a token.
// The token views the text `rest` views.
std::wstring_view NextToken(std::wstring_view& rest);
