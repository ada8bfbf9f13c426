#include "Orvane/engine/protocol/DataAddress.h"

#include <string>

#include "Orvane/engine/protocol/PassiveReply.h"
#include "Orvane/engine/protocol/TraceLog.h"

namespace {

std::wstring Dotted(const platform::Ipv4Address& address) {
    std::wstring text;
    for (std::uint8_t octet : address.octets) {
        if (!text.empty()) text += L'.';
        text += std::to_wstring(octet);
    }
    return text;
}

}  // namespace

platform::Endpoint DataAddressFor(const CFTPControlConnection& connection, const std::wstring& passiveReply) {
    platform::Endpoint data = ParsePassiveReply(passiveReply);
    const platform::Ipv4Address peer = connection.Peer().address;
    if (data.address != peer) {
        WriteTrace([&] {
            return L"PASV address " + Dotted(data.address) + L" replaced by the server's " + Dotted(peer);
        });
        data.address = peer;
    }
    return data;
}
