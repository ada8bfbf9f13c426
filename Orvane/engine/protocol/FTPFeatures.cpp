#include "Orvane/engine/protocol/FTPFeatures.h"

#include <utility>

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The line without its CR LF (or bare LF).
std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

}  // namespace

bool FTPFeatures::Has(std::string_view name, std::string_view parameter) const {
    for (const Feature& feature : features) {
        if (!SameWord(feature.name, name)) continue;
        if (parameter.empty()) return true;
        std::string_view rest = feature.parameters;
        while (!rest.empty()) {
            const std::size_t end = rest.find_first_of(" \t;");
            if (SameWord(rest.substr(0, end), parameter)) return true;
            if (end == std::string_view::npos) break;
            rest.remove_prefix(end + 1);
        }
    }
    return false;
}

FTPFeatures ParseFeatures(std::string_view reply) {
    FTPFeatures parsed;
    // "211-" opens the list and "211 " closes it; a one-line 211 lists nothing (RFC 2389, 3.2).
    if (reply.substr(0, 4) != "211-") return parsed;
    std::size_t start = reply.find('\n');
    while (start != std::string_view::npos && start + 1 < reply.size()) {
        const std::size_t end = reply.find('\n', start + 1);
        const std::size_t length = end == std::string_view::npos ? end : end - start;
        const std::string_view line = WithoutLineEnd(reply.substr(start + 1, length));
        start = end;
        // Feature lines begin with a space; the closing line begins with the code.
        if (line.empty() || !IsBlank(line.front())) continue;
        std::string_view text = line;
        while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
        if (text.empty()) continue;
        const std::size_t blank = text.find_first_of(" \t");
        FTPFeatures::Feature feature;
        for (char c : text.substr(0, blank)) feature.name += Upper(c);
        if (blank != std::string_view::npos) feature.parameters = text.substr(blank + 1);
        parsed.features.push_back(std::move(feature));
    }
    return parsed;
}
