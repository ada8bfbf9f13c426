#include "Orvane/engine/protocol/DirectoryListing.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr std::array<std::wstring_view, 12> kMonths = {
    L"jan", L"feb", L"mar", L"apr", L"may", L"jun", L"jul", L"aug", L"sep", L"oct", L"nov", L"dec",
};

// IIS pads "<DIR>" so that folder names start in the column of file names.
constexpr std::size_t kIisDirPadding = 10;

// A field of a line: its text and where it ends in the line.
struct Field {
    std::wstring_view text;
    std::size_t end = 0;
};

// The blank-separated fields of a line, left to right, read only as far as they are needed.
// Only the space separates: servers pad with spaces, and a tab belongs to whatever it stands in.
class Fields {
public:
    explicit Fields(std::wstring_view line) : m_line(line) {}
    bool Next(Field& field) {
        while (m_at < m_line.size() && m_line[m_at] == L' ') ++m_at;
        if (m_at == m_line.size()) return false;
        const std::size_t end = std::min(m_line.find(L' ', m_at), m_line.size());
        field = {m_line.substr(m_at, end - m_at), end};
        m_at = end;
        return true;
    }

private:
    std::wstring_view m_line;
    std::size_t m_at = 0;
};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsDigits(std::wstring_view text) {
    if (text.empty()) return false;
    for (wchar_t c : text)
        if (!IsDigit(c)) return false;
    return true;
}

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool IsMonth(std::wstring_view text) {
    if (text.size() != 3) return false;
    for (std::wstring_view month : kMonths)
        if (Lower(text[0]) == month[0] && Lower(text[1]) == month[1] && Lower(text[2]) == month[2]) return true;
    return false;
}

bool IsDay(std::wstring_view text) {
    if (text.size() > 2 || !IsDigits(text)) return false;
    const int day = text.size() == 1 ? text[0] - L'0' : (text[0] - L'0') * 10 + (text[1] - L'0');
    return day >= 1 && day <= 31;
}

// "9:15" or "09:15".
bool IsTime(std::wstring_view text) {
    const std::size_t colon = text.find(L':');
    return (colon == 1 || colon == 2) && text.size() == colon + 3 && IsDigits(text.substr(0, colon)) &&
           IsDigits(text.substr(colon + 1));
}

bool IsTimeOrYear(std::wstring_view text) { return IsTime(text) || (text.size() == 4 && IsDigits(text)); }

// The field that starts a Unix line, as ls writes it: ten characters ("drwxr-xr-x"), or at least
// something that looks like one. This drops "total 12".
bool IsPermissionField(std::wstring_view field) {
    return field.size() == 10 || field.find_first_of(L"drwx-") != std::wstring_view::npos;
}

// "12-07-26" or "12-07-2026".
bool IsDosDate(std::wstring_view text) {
    return (text.size() == 8 || text.size() == 10) && text[2] == L'-' && text[5] == L'-' &&
           IsDigits(text.substr(0, 2)) && IsDigits(text.substr(3, 2)) && IsDigits(text.substr(6));
}

// "10:00AM", "9:05PM", or a 24-hour "22:00".
bool IsDosTime(std::wstring_view text) {
    if (text.size() > 2 && (Lower(text.back()) == L'm') &&
        (Lower(text[text.size() - 2]) == L'a' || Lower(text[text.size() - 2]) == L'p'))
        text.remove_suffix(2);
    return IsTime(text);
}

void SetKind(DirectoryEntry& entry, bool folder, bool link) {
    entry.isLink = link;
    entry.isFile = !folder && !link;
    if (entry.name == L".") entry.isCurrent = true;
    else if (entry.name == L"..") entry.isParent = true;
    else entry.isDirectory = folder || link;
}

bool ParseDosLine(std::wstring_view line, DirectoryEntry& entry) {
    Fields fields(line);
    Field date, time, kind;
    if (!fields.Next(date) || !IsDosDate(date.text) || !fields.Next(time) || !IsDosTime(time.text) ||
        !fields.Next(kind))
        return false;
    const bool folder = kind.text == L"<DIR>";
    if (!folder && !IsDigits(kind.text)) return false;
    std::size_t start = kind.end + 1;
    if (folder) {
        std::size_t blanks = 0;
        while (kind.end + blanks < line.size() && line[kind.end + blanks] == L' ') ++blanks;
        start = kind.end + (blanks >= kIisDirPadding ? kIisDirPadding : blanks);
    }
    if (start >= line.size() || line.find_first_not_of(L' ', start) == std::wstring_view::npos) return false;
    DirectoryEntry parsed;
    parsed.name = line.substr(start);
    SetKind(parsed, folder, false);
    entry = std::move(parsed);
    return true;
}

// The date is found as four fields in a row: size, month, day, time or year, the first such
// window from the left after the permissions. Owners, groups and names may hold anything.
bool ParseUnixLine(std::wstring_view line, DirectoryEntry& entry) {
    Fields fields(line);
    Field permissions;
    if (!fields.Next(permissions) || !IsPermissionField(permissions.text)) return false;
    std::array<Field, 4> window;  // size, month, day, time or year
    std::size_t filled = 0;
    for (Field field; fields.Next(field);) {
        if (filled < window.size()) {
            window[filled++] = field;
            if (filled < window.size()) continue;
        } else {
            std::move(window.begin() + 1, window.end(), window.begin());
            window.back() = field;
        }
        const auto& [size, month, day, timeOrYear] = window;
        if (!IsMonth(month.text) || !IsDigits(size.text) || !IsDay(day.text) || !IsTimeOrYear(timeOrYear.text))
            continue;
        // ls right-aligns the time or year in its column, so exactly one blank follows it.
        const std::size_t start = timeOrYear.end + 1;
        if (start >= line.size()) return false;
        std::wstring_view name = line.substr(start);
        const wchar_t type = permissions.text.front();
        if (type == L'l') name = name.substr(0, name.find(L" -> "));
        if (name.empty()) return false;
        DirectoryEntry parsed;
        parsed.name = name;
        SetKind(parsed, type == L'd', type == L'l');
        entry = std::move(parsed);
        return true;
    }
    return false;
}

bool Contains(std::wstring_view text, std::wstring_view part) {
    if (part.size() > text.size()) return false;
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        std::size_t k = 0;
        while (k < part.size() && Lower(text[at + k]) == part[k]) ++k;
        if (k == part.size()) return true;
    }
    return false;
}

}  // namespace

bool ParseListingLine(std::wstring_view line, DirectoryEntry& entry) {
    return ParseDosLine(line, entry) || ParseUnixLine(line, entry);
}

std::vector<DirectoryEntry> ParseListing(std::wstring_view listing) {
    std::vector<DirectoryEntry> entries;
    while (!listing.empty()) {
        const std::size_t lf = listing.find(L'\n');
        std::wstring_view line = listing.substr(0, lf);
        listing.remove_prefix(lf == std::wstring_view::npos ? listing.size() : lf + 1);
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        DirectoryEntry entry;
        if (ParseListingLine(line, entry)) entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsEmptyFolderReply(const FTPReply& reply) {
    if (reply.code != 450 && reply.code != 550) return false;
    for (std::wstring_view words : {L"no files", L"no such file", L"not found", L"empty"})
        if (Contains(reply.text, words)) return true;
    return false;
}

DirectoryContent::DirectoryContent(std::wstring folderListed, std::wstring listingText, std::wstring reservedText)
    : folder(std::move(folderListed)),
      listing(std::move(listingText)),
      entries(ParseListing(listing)),
      reserved(std::move(reservedText)) {}
