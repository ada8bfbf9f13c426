#include "Orvane/engine/dialogs/DialogTexts.h"

#include "Orvane/engine/tasks/EngineStrings.h"
#include "Orvane/engine/tasks/ErrorText.h"
#include "Orvane/engine/tasks/SecurityTexts.h"
#include "platform/Strings.h"

namespace {

bool RefusedCertificate(const CTaskResult& result) {
    return IsCertificateRefusal(result.errorCode) && result.certificate;
}

}  // namespace

std::wstring TaskResultText(const CTaskResult& result, const std::wstring& heading) {
    std::wstring text = heading;
    if (result.Succeeded()) return text;
    for (const std::wstring& line : result.transcript) text += line;
    if (result.errorCode != 0)
        text += FormatErrorTitle(result.errorCode) + L"\r\n" + FormatErrorDescription(result.errorCode);
    if (RefusedCertificate(result)) text += L"\r\n\r\n" + CertificateText(*result.certificate);
    return text;
}

std::wstring TrustQuestionText(const CTaskResult& result) {
    if (!RefusedCertificate(result)) return {};
    return FormatErrorTitle(result.errorCode) + L"\r\n\r\n" + CertificateText(*result.certificate) + L"\r\n" +
           platform::LoadText(EngineStrings::kTrustCertificateQuestion);
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
    const bool implicit = destination.encryption == FTPEncryption::Implicit;
    const wchar_t* scheme = implicit ? L"ftps://"
                            : destination.encryption == FTPEncryption::ExplicitRequired ? L"ftpes://"
                                                                                        : L"ftp://";
    return scheme + HostAndPort(destination) + L"/" + destination.directory;
}
