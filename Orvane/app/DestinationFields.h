#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "store/FTPSettings.h"

// The five text fields of the destination properties dialog, as typed, and its Encryption choice.
struct DestinationFields {
    std::wstring displayName;
    std::wstring server;
    std::wstring userName;
    std::wstring password;
    std::wstring directory;
    FTPEncryption encryption = FTPEncryption::ExplicitIfOffered;
};

// The parts of a whole address typed into the Server field:
// [ftp://|ftpes://|ftps://][user[:password]@]host[:port][/folder]. Empty strings, port 0 and no
// encryption mean "not given"; "ftpes://" asks for explicit TLS without fall-back, "ftps://" for
// implicit TLS.
struct ServerAddressParts {
    std::wstring host;
    std::uint16_t port = 0;
    std::wstring user;
    std::wstring password;
    std::wstring folder;
    std::optional<FTPEncryption> encryption;
};

// String ids of the two ways a Server text can be malformed.
inline constexpr unsigned kIncorrectAtUsage = 140;     // "Incorrect usage of '@' symbol"
inline constexpr unsigned kIncorrectColonUsage = 141;  // "Incorrect usage of ':' symbol"

// Splits a Server text into its parts. Returns 0, or the id of the message that says what is
// wrong (a second "@", or a second ":" in the user part or the host part).
unsigned ReadServerAddress(std::wstring text, ServerAddressParts& parts);

// Reads the fields into `destination` the way the dialog's OK, Test and Browse... do: names and
// password as typed (up to 259 characters), the folder without trailing "/", the encryption
// chosen unless the Server text's scheme names one, port 21 (990 for implicit TLS) unless the
// Server text names another, and every address part that was given over what the destination
// had. The trusted certificate stays as it was. Returns 0, or the message id of ReadServerAddress; the destination is then half-updated,
// as the dialog leaves it.
unsigned ReadDestinationFields(const DestinationFields& fields, FTPSettings& destination);
