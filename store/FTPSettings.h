#pragma once
#include <cstdint>
#include <string>

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
};

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
