#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Tls.h"

// How a destination's connections are protected (RFC 4217), stored as the REG_DWORD
// "Encryption". A destination without the value gets ExplicitIfOffered.
enum class FTPEncryption : std::uint32_t {
    None = 0,               // plain FTP
    ExplicitIfOffered = 1,  // AUTH TLS; a server that refuses it gets plain FTP
    ExplicitRequired = 2,   // AUTH TLS, or no login at all: the password never goes in clear
    Implicit = 3,           // TLS from the first byte (port 990 unless another is named)
};

inline constexpr std::uint16_t kImplicitTlsPort = 990;

// The port a destination uses when none is named: the one its scheme is known by.
inline std::uint16_t DefaultPort(FTPEncryption encryption) {
    return encryption == FTPEncryption::Implicit ? kImplicitTlsPort : 21;
}

// What the engine needs to reach one server; it receives a copy.
struct FTPSettings {
    std::wstring displayName;
    std::wstring userName;
    std::wstring password;  // clear text, in memory only
    std::wstring server;    // host as the user typed it
    std::wstring directory; // starting folder on the server
    std::uint16_t port = 21;
    // How many control connections an upload may use at once ("Connections"); 1 sends the files
    // one after another over one connection.
    std::uint32_t connections = 4;
    FTPEncryption encryption = FTPEncryption::ExplicitIfOffered;
    // The SHA-256 fingerprint of a certificate the user chose to trust although the system does
    // not: connections accept exactly that certificate as well (see platform::TlsCredentials).
    std::optional<platform::Sha256Fingerprint> trustedCertificate;
};

// The host, and ":" + port when the port is not the scheme's own: how an address names the server,
// and what reading that address back turns into the same host and port.
inline std::wstring HostAndPort(const FTPSettings& destination) {
    if (destination.port == DefaultPort(destination.encryption)) return destination.server;
    return destination.server + L":" + std::to_wstring(destination.port);
}

// A starting folder as it is stored: without trailing "/" ("/pub/" -> "/pub", "/" -> "").
inline std::wstring WithoutTrailingSlashes(std::wstring folder) {
    const std::size_t last = folder.find_last_not_of(L'/');
    folder.erase(last == std::wstring::npos ? 0 : last + 1);
    return folder;
}

// User destinations are numbered from 1; a number from this one on lives in the machine's hive.
inline constexpr std::int32_t MACHINE_NUMBER_BASE = 65536;

// A destination and its place in the store: the key basePath\keyName in the user's hive, or in
// the machine's when machineWide is set. keyName is the number in decimal.
struct FTPDestination : FTPSettings {
    std::wstring basePath;
    std::wstring keyName;
    std::int32_t number = 0;
    bool machineWide = false;
};
