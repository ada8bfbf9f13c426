#include "tests/OrvaneShellExt/ShellExtTestSupport.h"

#include <algorithm>
#include <cstring>

#include "Orvane/app/HandOffReader.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"

namespace shellexttest {

void ResetRegistry() {
    platform::Registry& registry = platform::SystemRegistry();
    registry.DeleteTree(platform::Hive::CurrentUser, L"Software\\Telmora");
    registry.DeleteTree(platform::Hive::LocalMachine, L"Software\\Telmora");  // Wine's user may write it
    registry.DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
    registry.DeleteTree(platform::Hive::CurrentUser, L"Software\\OrvaneTests");
}

void SaveDestination(std::int32_t number, const std::wstring& displayName) {
    FTPDestination destination = DestinationStore().GetDestination(number);
    destination.displayName = displayName;
    destination.server = L"127.0.0.1";
    DestinationStore().SaveDestination(destination);
}

TargetWindow::TargetWindow(const std::wstring& title)
    : m_window([this](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
                   if (message != WM_COPYDATA) return std::nullopt;
                   const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
                   ReceivedHandOff handOff{wParam, data->dwData, data->cbData, {}};
                   std::memcpy(handOff.guid.data(), data->lpData,
                               std::min<std::size_t>(data->cbData, handOff.guid.size()));
                   received.push_back(handOff);
                   return TRUE;
               },
               title) {}

std::set<std::wstring> HandedOffFiles(std::int32_t number, const platform::GuidBytes& guid) {
    UploadJob job;
    ReadHandOffKey(L"", HandOffKeyPath(DestinationStore().GetDestination(number), GuidText(guid)), job);
    std::set<std::wstring> files;
    for (const auto& [path, entry] : job.files) files.insert(path);
    return files;
}

}  // namespace shellexttest
