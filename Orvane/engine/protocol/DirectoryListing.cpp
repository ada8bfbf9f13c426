#include "Orvane/engine/protocol/DirectoryListing.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Searched in this order, and the first name found anywhere in the line wins even when another
// one stands earlier in it.
constexpr std::array<std::wstring_view, 12> kMonths = {
    L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun", L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec",
};

// The white space a C library's isspace() knows in the C locale.
bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

std::wstring_view TrimLeft(std::wstring_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsSpace(text[at])) ++at;
    return text.substr(at);
}

// atoi's rule: leading white space, an optional sign, then digits up to the first non-digit
// ("12x" is 12, "x" is 0). Saturates instead of overflowing.
long DecimalValue(std::wstring_view text) {
    text = TrimLeft(text);
    std::size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    long value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at)
        value = std::min(value * 10 + (text[at] - L'0'), 1000000L);
    return negative ? -value : value;
}

bool Contains(std::wstring_view text, wchar_t c) { return text.find(c) != std::wstring_view::npos; }

// The field that starts the line, as ls writes it: ten characters ("drwxr-xr-x"), or at least
// something that looks like one. This drops "total 12".
bool IsPermissionField(std::wstring_view field) {
    return field.size() == 10 || field.find_first_of(L"drwx-") != std::wstring_view::npos;
}

}  // namespace

std::wstring_view NextToken(std::wstring_view& rest) {
    while (true) {
        if (!Contains(rest, L' ')) return {};
        if (rest.front() != L' ') break;
        rest.remove_prefix(1);
    }
    const std::size_t space = rest.find(L' ');
    const std::wstring_view token = rest.substr(0, space);
    rest.remove_prefix(space + 1);
    return token;
}

bool ParseListingLine(std::wstring_view line, DirectoryEntry& entry) {
    if (line.empty()) return false;
    const std::size_t firstSpace = line.find(L' ');
    if (firstSpace == std::wstring_view::npos) return false;
    const std::wstring_view permissions = line.substr(0, firstSpace);
    if (!IsPermissionField(permissions)) return false;
    DirectoryEntry parsed;
    parsed.isFile = permissions.front() != L'd';

    // The owner and group come before the date and may themselves hold a month's name ("Janet");
    // the line is then read from there and usually fails at the day.
    std::size_t month = std::wstring_view::npos;
    for (std::wstring_view name : kMonths) {
        month = line.find(name);
        if (month != std::wstring_view::npos) break;
    }
    if (month == std::wstring_view::npos) return false;

    std::wstring_view rest = line.substr(month);
    NextToken(rest);  // the month itself
    const std::wstring_view day = NextToken(rest);
    if (day.size() > 2 || DecimalValue(day) == 0) return false;

    // Entries of recent months show a time of day, older ones a year (ls(1)). Some servers put a
    // time after the year as well.
    std::wstring_view name;
    std::wstring joined;
    const std::wstring_view timeOrYear = NextToken(rest);
    if (Contains(timeOrYear, L':')) {
        name = TrimLeft(rest);
    } else {
        if (timeOrYear.size() > 4 || DecimalValue(timeOrYear) == 0) return false;
        const std::wstring_view next = NextToken(rest);
        if (next.empty()) {
            name = rest;
        } else if (Contains(next, L':')) {
            name = TrimLeft(rest);
        } else {
            // NextToken has split a name of several words; put its first word back.
            joined.reserve(next.size() + 1 + rest.size());
            joined.append(next).append(1, L' ').append(rest);
            name = joined;
        }
    }

    if (name == L".") parsed.isCurrent = true;
    else if (name == L"..") parsed.isParent = true;
    else if (!parsed.isFile) parsed.isDirectory = true;
    parsed.name = name;
    entry = std::move(parsed);
    return true;
}

std::vector<DirectoryEntry> ParseListing(std::wstring_view listing) {
    std::vector<DirectoryEntry> entries;
    for (std::size_t end = listing.find(L"\r\n"); end != std::wstring_view::npos; end = listing.find(L"\r\n")) {
        DirectoryEntry entry;
        if (ParseListingLine(listing.substr(0, end), entry)) entries.push_back(std::move(entry));
        listing.remove_prefix(end + 2);
    }
    return entries;
}

DirectoryContent::DirectoryContent(std::wstring folderListed, std::wstring listingText, std::wstring reservedText)
    : folder(std::move(folderListed)),
      listing(std::move(listingText)),
      entries(ParseListing(listing)),
      reserved(std::move(reservedText)) {}
