#include "Orvane/app/DestinationFields.h"

#include "store/DestinationStore.h"

namespace {

constexpr std::size_t kFieldCharacters = 259;

bool HasSecond(const std::wstring& text, wchar_t c, std::size_t first) {
    return text.find(c, first + 1) != std::wstring::npos;
}

// One pass from left to right: what the removal joins together stays.
std::wstring RemoveAll(const std::wstring& text, const std::wstring& what) {
    std::wstring result;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(what, from)) != std::wstring::npos; from = at + what.size())
        result += text.substr(from, at - from);
    return result + text.substr(from);
}

// Removes every `scheme`, as "ftp://" is removed; notes `encryption` when there was one.
void TakeScheme(std::wstring& text, const std::wstring& scheme, FTPEncryption encryption, ServerAddressParts& parts) {
    if (text.find(scheme) == std::wstring::npos) return;
    text = RemoveAll(text, scheme);
    parts.encryption = encryption;
}

}  // namespace

unsigned ReadServerAddress(std::wstring text, ServerAddressParts& parts) {
    text = RemoveAll(text, L"ftp://");
    TakeScheme(text, L"ftpes://", FTPEncryption::ExplicitRequired, parts);
    TakeScheme(text, L"ftps://", FTPEncryption::Implicit, parts);
    std::wstring rest = text;
    if (const std::size_t at = text.find(L'@'); at != std::wstring::npos) {
        if (HasSecond(text, L'@', at)) return kIncorrectAtUsage;
        const std::wstring userPart = text.substr(0, at);
        rest = text.substr(at + 1);
        if (const std::size_t colon = userPart.find(L':'); colon != std::wstring::npos) {
            if (HasSecond(userPart, L':', colon)) return kIncorrectColonUsage;
            parts.user = userPart.substr(0, colon);
            parts.password = userPart.substr(colon + 1);
        } else {
            parts.user = userPart;
        }
    }
    std::wstring hostPart = rest;
    if (const std::size_t slash = rest.find(L'/'); slash != std::wstring::npos) {
        hostPart = rest.substr(0, slash);
        parts.folder = rest.substr(slash + 1);
    }
    if (const std::size_t colon = hostPart.find(L':'); colon != std::wstring::npos) {
        if (HasSecond(hostPart, L':', colon)) return kIncorrectColonUsage;
        parts.host = hostPart.substr(0, colon);
        // The same signed decimal reading as a store key's number, then cut to 16 bits.
        parts.port = static_cast<std::uint16_t>(DestinationNumber(hostPart.substr(colon + 1)));
    } else {
        parts.host = hostPart;
    }
    return 0;
}

unsigned ReadDestinationFields(const DestinationFields& fields, FTPSettings& destination) {
    destination.displayName = fields.displayName.substr(0, kFieldCharacters);
    destination.userName = fields.userName.substr(0, kFieldCharacters);
    destination.password = fields.password.substr(0, kFieldCharacters);
    destination.directory = WithoutTrailingSlashes(fields.directory.substr(0, kFieldCharacters));
    destination.encryption = fields.encryption;
    destination.port = 21;
    ServerAddressParts parts;
    if (const unsigned error = ReadServerAddress(fields.server.substr(0, kFieldCharacters), parts)) return error;
    if (parts.encryption) destination.encryption = *parts.encryption;
    destination.port = DefaultPort(destination.encryption);
    if (!parts.host.empty()) destination.server = parts.host;
    if (parts.port != 0) destination.port = parts.port;
    if (!parts.user.empty()) destination.userName = parts.user;
    if (!parts.password.empty()) destination.password = parts.password;
    if (!parts.folder.empty()) destination.directory = WithoutTrailingSlashes(parts.folder);
    return 0;
}
