#include "store/HandOffKey.h"

#include <cstdint>
#include <cwchar>

#include "store/DestinationStore.h"

std::wstring GuidText(const platform::GuidBytes& guid) {
    const auto data1 = static_cast<unsigned long>(guid[0] | guid[1] << 8 | guid[2] << 16 |
                                                  static_cast<std::uint32_t>(guid[3]) << 24);
    const unsigned data2 = guid[4] | guid[5] << 8;
    const unsigned data3 = guid[6] | guid[7] << 8;
    wchar_t text[39];
    std::swprintf(text, 39, L"{%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1, data2, data3, guid[8],
                  guid[9], guid[10], guid[11], guid[12], guid[13], guid[14], guid[15]);
    return text;
}

std::wstring HandOffKeyPath(const FTPDestination& destination, const std::wstring& guidText) {
    return DestinationKeyPath(destination) + L"\\" + guidText;
}
