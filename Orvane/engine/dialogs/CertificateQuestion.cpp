#include "Orvane/engine/dialogs/CertificateQuestion.h"

#include "Orvane/engine/dialogs/DialogTexts.h"
#include "Orvane/engine/tasks/EngineStrings.h"
#include "platform/Strings.h"

std::optional<platform::Sha256Fingerprint> AskToTrustCertificate(HWND owner, const CTaskResult& result) {
    const std::wstring question = TrustQuestionText(result);
    if (question.empty()) return std::nullopt;
    const std::wstring caption = platform::LoadText(EngineStrings::kTrustCertificateCaption);
    if (::MessageBoxW(owner, question.c_str(), caption.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return std::nullopt;
    return result.certificate->fingerprint;
}
