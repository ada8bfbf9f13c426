// libFuzzer target for the listing parser: any text parses without reading outside it, and what
// comes out is consistent. Each input byte is one character, as a listing read in a one-byte
// code page gives; 0xFF followed by two bytes makes one wider character.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Orvane/engine/protocol/DirectoryListing.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring listing;
    listing.reserve(size);
    for (std::size_t k = 0; k < size; ++k) {
        if (data[k] == 0xFF && k + 2 < size) {
            listing += static_cast<wchar_t>(data[k + 1] << 8 | data[k + 2]);
            k += 2;
        } else {
            listing += static_cast<wchar_t>(data[k]);
        }
    }

    const DirectoryContent content(L"/", listing, L"");
    // One entry at most per line; lines end at LF, and the last one needs none.
    const auto lines = static_cast<std::size_t>(std::count(listing.begin(), listing.end(), L'\n')) + 1;
    Check(content.entries.size() <= lines);

    for (std::size_t k = 0; k < content.entries.size(); ++k) {
        const DirectoryEntry& entry = content.entries[k];
        Check(!entry.name.empty());
        Check(entry.isCurrent + entry.isParent + entry.isDirectory <= 1);
        Check(!entry.isDirectory || !entry.isFile);
        Check(!entry.isLink || !entry.isFile);
        Check(entry.isCurrent == (entry.name == L"."));
        Check(entry.isParent == (entry.name == L".."));
        Check(entry.name.find(L'\n') == std::wstring::npos);
        // A name is a piece of its line, never put together from words.
        if (k < 16) Check(listing.find(entry.name) != std::wstring::npos);
    }

    DirectoryEntry entry;
    if (ParseListingLine(listing, entry)) Check(!entry.name.empty());
    (void)IsEmptyFolderReply(FTPReply{550, listing});
    return 0;
}
