// libFuzzer target for the listing parser: any text parses without reading outside it, and what
// comes out is consistent.
#include <algorithm>
#include <cstdlib>

#include "Orvane/engine/protocol/DirectoryListing.h"
#include "tests/fuzz/FuzzText.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring listing = FuzzText(data, size);
    const DirectoryContent content(L"/", listing, L"");
    // One entry at most per line; lines end at LF, and the last one needs none.
    Check(content.entries.size() <= static_cast<std::size_t>(std::count(listing.begin(), listing.end(), L'\n')) + 1);
    for (std::size_t k = 0; k < content.entries.size(); ++k) {
        const DirectoryEntry& entry = content.entries[k];
        Check(!entry.name.empty() && entry.name.find(L'\n') == std::wstring::npos);
        Check(entry.isCurrent + entry.isParent + entry.isDirectory <= 1);
        Check(!entry.isFile || (!entry.isDirectory && !entry.isLink));
        Check(entry.isCurrent == (entry.name == L".") && entry.isParent == (entry.name == L".."));
        // A name is a piece of its line, never put together from words.
        if (k < 16) Check(listing.find(entry.name) != std::wstring::npos);
    }
    DirectoryEntry entry;
    if (ParseListingLine(listing, entry)) Check(!entry.name.empty());
    (void)IsEmptyFolderReply(FTPReply{550, listing});
    return 0;
}
