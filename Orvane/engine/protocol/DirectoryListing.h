#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "Orvane/engine/protocol/FTPReply.h"

// Reading what LIST returns. Two shapes are understood: the Unix long listing (permissions,
// links, owner, group, size, month, day, time or year, name), read by the position of its
// fields, and the MS-DOS style of IIS (date, time, "<DIR>" or size, name). Every other line is
// left out.

// One understood listing line.
struct DirectoryEntry {
    std::wstring name;         // exactly as listed, blanks included; a link's own name
    bool isFile = false;       // neither a folder nor a symbolic link
    bool isDirectory = false;  // a folder or a symbolic link (offered as a folder) but "." and ".."
    bool isCurrent = false;    // "."
    bool isParent = false;     // ".."
    bool isLink = false;       // a symbolic link: it may lead to a folder, which only a CWD tells
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
// at LF, with or without a CR before it; the last line needs no line end. Linear in the
// listing's length; throws nothing but std::bad_alloc.
std::vector<DirectoryEntry> ParseListing(std::wstring_view listing);

// Fills `entry` and returns true when `line` (without its line end) is a listing line of a
// shape we read and names an entry; otherwise returns false and leaves `entry` as it was.
//
// Unix: the date is the first month name (any case) whose field follows a size field (digits)
// and is followed by a day (1 to 31) and a time ("9:15", "09:15") or a year ("2008"); the name is
// everything after the one blank that follows the time or year. The owner and group may be
// anything, a month's name included. For a symbolic link ("l") the name ends before " -> ".
// MS-DOS: "12-07-26  10:00AM  <DIR>  name" or "12-07-26  10:00AM  1234 name"; the name follows
// the one blank after a size, or "<DIR>" and the padding of IIS's column (ten blanks).
bool ParseListingLine(std::wstring_view line, DirectoryEntry& entry);

// Whether a refused LIST says only that the folder is empty: some servers answer LIST in an
// empty folder with 450 or 550 and "No files found" (or similar) instead of an empty listing.
bool IsEmptyFolderReply(const FTPReply& reply);
