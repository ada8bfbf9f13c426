// libFuzzer target for the listing parser: any text parses without reading outside it, and what
// comes out is consistent.
#include <algorithm>
#include <cstdlib>

#include "Orvane/engine/protocol/DirectoryListing.h"
#include "tests/fuzz/FuzzText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto check = [](bool condition) { if (!condition) std::abort(); };
    const std::wstring listing = FuzzText(data, size);
    const DirectoryContent content(L"/", listing, L"");
    // One entry at most per line; lines end at LF, and the last one needs none.
    check(content.entries.size() <= static_cast<std::size_t>(std::count(listing.begin(), listing.end(), L'\n')) + 1);
    for (std::size_t k = 0; k < content.entries.size(); ++k) {
        const DirectoryEntry& entry = content.entries[k];
        check(!entry.name.empty() && entry.name.find(L'\n') == std::wstring::npos);
        check(entry.isCurrent + entry.isParent + entry.isDirectory <= 1);
        check(!entry.isFile || (!entry.isDirectory && !entry.isLink));
        check(entry.isCurrent == (entry.name == L".") && entry.isParent == (entry.name == L".."));
        // A name is a piece of its line, never put together from words.
        if (k < 16) check(listing.find(entry.name) != std::wstring::npos);
    }
    DirectoryEntry entry;
    if (ParseListingLine(listing, entry)) check(!entry.name.empty());
    (void)IsEmptyFolderReply(FTPReply{550, listing});
    return 0;
}
