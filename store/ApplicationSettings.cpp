#include "store/ApplicationSettings.h"

#include "platform/RegistryValues.h"
#include "store/RegistryReads.h"

namespace {

const std::wstring kProgramPath = L"Software\\Orvane";

bool ReadOption(platform::Registry& registry, const wchar_t* name) {
    const auto options = registry.Create(platform::Hive::CurrentUser, kProgramPath + L"\\Options",
                                         platform::Access::ReadWrite);
    return store::ReadSwitch(options.get(), name);
}

}  // namespace

bool IsSmartContextMenu(platform::Registry& registry) { return ReadOption(registry, L"SmartContextMenu"); }

bool IsSkipFolderConfirmation(platform::Registry& registry) {
    return ReadOption(registry, L"SkipFolderConfirmation");
}

bool IsTroubleshootList(platform::Registry& registry) { return ReadOption(registry, L"TroubleshootList"); }

std::optional<std::wstring> ReadUploaderPath(platform::Registry& registry) {
    const auto key = registry.Create(platform::Hive::CurrentUser, kProgramPath, platform::Access::ReadWrite);
    if (!key) return std::nullopt;
    return platform::ReadString(*key, L"FullPath", store::kStringCapacity);
}

void WriteUploaderPath(const std::wstring& programPath, platform::Registry& registry) {
    if (const auto key = registry.Create(platform::Hive::CurrentUser, kProgramPath, platform::Access::ReadWrite))
        platform::WriteString(*key, L"FullPath", programPath);
}
