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
    std::size_t lines = 0;
    for (std::size_t at = listing.find(L"\r\n"); at != std::wstring::npos; at = listing.find(L"\r\n", at + 2)) ++lines;
    Check(content.entries.size() <= lines);

    for (std::size_t k = 0; k < content.entries.size(); ++k) {
        const DirectoryEntry& entry = content.entries[k];
        Check(entry.isCurrent + entry.isParent + entry.isDirectory <= 1);
        Check(!entry.isDirectory || !entry.isFile);
        Check(entry.isCurrent == (entry.name == L"."));
        Check(entry.isParent == (entry.name == L".."));
        // A name is always a piece of its line; a multi-word name is put back together from the
        // words and the one space between them.
        if (k < 16) Check(listing.find(entry.name) != std::wstring::npos);
    }

    // Lines are parsed one by one; the last piece, without CR LF, is not a line of its own.
    const std::size_t lastEnd = listing.rfind(L"\r\n");
    if (lastEnd == std::wstring::npos) {
        Check(content.entries.empty());
        DirectoryEntry entry;
        if (ParseListingLine(listing, entry)) Check(!entry.isDirectory || !entry.isFile);
    }
    return 0;
}
