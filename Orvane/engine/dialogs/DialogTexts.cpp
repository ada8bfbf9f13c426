#include "Orvane/engine/dialogs/DialogTexts.h"

#include "Orvane/engine/tasks/ErrorText.h"

std::wstring TaskResultText(const CTaskResult& result, const std::wstring& heading) {
    std::wstring text = heading;
    if (result.Succeeded()) return text;
    for (const std::wstring& line : result.transcript) text += line;
    if (result.errorCode != 0)
        text += FormatErrorTitle(result.errorCode) + L"\r\n" + FormatErrorDescription(result.errorCode);
    return text;
}

std::wstring NextWaitingText(const std::wstring& text, const std::wstring& base) {
    constexpr std::size_t kMostDots = 30;
    const std::size_t dot = text.find(L'.');
    if (dot != std::wstring::npos && text.size() - dot == kMostDots) return base;
    return text + L".";
}

std::wstring NormalizeBrowsePath(const std::wstring& path) {
    static const std::wstring up = L"/..";
    if (path.size() <= 3 || path.compare(path.size() - up.size(), up.size(), up) != 0) return path;
    const std::wstring rest = path.substr(0, path.size() - up.size());
    const std::size_t slash = rest.rfind(L'/');
    return slash == std::wstring::npos ? std::wstring() : rest.substr(0, slash);
}

std::wstring FolderAddress(const FTPSettings& destination) {
    std::wstring address = L"ftp://" + destination.server;
    if (destination.port != 21) address += L":" + std::to_wstring(destination.port);
    return address + L"/" + destination.directory;
}
