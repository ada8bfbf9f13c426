// Orvane.exe started without arguments, as a console or a shortcut starts it: where it records
// itself for the extension, and when it registers the extension beside it.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "OrvaneShellExt/ExtensionRegistration.h"
#include "platform/Registry.h"
#include "platform/RegistryValues.h"
#include "platform/win32/Unique.h"
#include "store/ApplicationSettings.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::WindowsPathOf;

const std::wstring kMachineServer = L"CLSID\\" + kShellExtClsidText + L"\\InprocServer32";
const std::wstring kUserClass = L"Software\\Classes\\CLSID\\" + kShellExtClsidText;

void RemoveRegistrations() {
    platform::Registry& registry = platform::SystemRegistry();
    registry.DeleteTree(platform::Hive::ClassesRoot, L"CLSID\\" + kShellExtClsidText);
    registry.DeleteTree(platform::Hive::CurrentUser, kUserClass);
    registry.DeleteTree(platform::Hive::CurrentUser, L"Software\\Orvane");
}

// Starts the program as a console would for the command "Orvane" typed in another folder: the
// command line's first element is the bare name. Returns once its dialog is up, which is after
// its start-up work, and closes it again.
void StartAndClose(const fs::path& currentFolder) {
    std::wstring commandLine = L"Orvane";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(::CreateProcessW(WindowsPathOf(ORVANE_PROGRAM).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 currentFolder.wstring().c_str(), &startup, &started));
    const platform::win32::UniqueHandle process(started.hProcess), thread(started.hThread);
    // Its own dialog: another program's window of the same title must not be closed instead.
    HWND dialog = nullptr;
    for (int wait = 0; wait < 600 && !dialog; ++wait) {
        for (HWND found = nullptr; (found = ::FindWindowExW(nullptr, found, L"#32770", L"FTP Folder Uploader"));) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(found, &owner);
            if (owner == started.dwProcessId) dialog = found;
        }
        if (!dialog) ::Sleep(50);
    }
    const bool ended = dialog && ::PostMessageW(dialog, WM_CLOSE, 0, 0) &&
                       ::WaitForSingleObject(process.Get(), 30000) == WAIT_OBJECT_0;
    if (!ended) ::TerminateProcess(process.Get(), 1);  // never left running past the test
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(ended);
}

class Startup : public testing::Test {
protected:
    ~Startup() override { RemoveRegistrations(); }
};

// A registration in the user's classes alone is what a standard user gets; if its library still
// exists, a start must not write a second one (under Wine the machine's classes take the write,
// so a second copy would show there). Either way the program records its own absolute path.
TEST_F(Startup, RecordsItsOwnFileAndRegistersOnlyWhenNoRegistrationNamesAnExistingLibrary) {
    const testsupport::TempDir elsewhere;
    const std::wstring library = WindowsPathOf(ORVANE_SHELLEXT_DLL);
    const std::pair<std::wstring, bool> cases[] = {{library, false},
                                                   {(elsewhere.Path() / "gone.dll").wstring(), true}};
    for (const auto& [userRegistration, registers] : cases) {
        SCOPED_TRACE(testing::PrintToString(userRegistration));
        RemoveRegistrations();
        auto server = platform::SystemRegistry().Create(platform::Hive::CurrentUser, kUserClass + L"\\InprocServer32");
        ASSERT_TRUE(server && platform::WriteString(*server, L"", userRegistration));
        server.reset();

        StartAndClose(elsewhere.Path());
        const auto recorded = ReadUploaderPath();
        ASSERT_TRUE(recorded);
        EXPECT_TRUE(fs::path(*recorded).is_absolute()) << fs::path(*recorded);
        EXPECT_TRUE(fs::equivalent(*recorded, WindowsPathOf(ORVANE_PROGRAM)));
        auto machine = platform::SystemRegistry().Open(platform::Hive::ClassesRoot, kMachineServer, platform::Access::Read);
        const auto machinePath = machine ? platform::ReadString(*machine, L"", 1024) : std::nullopt;
        EXPECT_EQ(machinePath.has_value(), registers);
        if (machinePath) {
            EXPECT_TRUE(fs::equivalent(*machinePath, library));
        }
    }
}

}  // namespace
