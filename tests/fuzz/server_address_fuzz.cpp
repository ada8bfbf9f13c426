// libFuzzer target: any Server text either fails with one of the two messages or splits into
// parts that hold none of the separators that split them. Each byte is one character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Orvane/app/DestinationFields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text(data, data + size);
    ServerAddressParts parts;
    const unsigned error = ReadServerAddress(text, parts);
    if (error != 0) {
        if (error != kIncorrectAtUsage && error != kIncorrectColonUsage) std::abort();
        return 0;
    }
    if (parts.host.find_first_of(L":/@") != std::wstring::npos) std::abort();
    if (parts.user.find_first_of(L":@") != std::wstring::npos) std::abort();
    if (parts.password.find(L'@') != std::wstring::npos || parts.folder.find(L'@') != std::wstring::npos) std::abort();

    FTPSettings destination;
    destination.server = L"kept";
    if (ReadDestinationFields({L"n", text, L"u", L"p", L"d/"}, destination) != 0) std::abort();
    if (destination.port == 0 || destination.server.empty()) std::abort();
    if (!destination.directory.empty() && destination.directory.back() == L'/') std::abort();
    return 0;
}
