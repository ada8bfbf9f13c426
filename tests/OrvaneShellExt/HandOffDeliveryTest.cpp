// The hand-off between real processes' windows: the uploader's "OrvaneWindow" found by its
// title, the message it receives, the key it reads, and the start-and-probe path with a real
// program that opens its window late.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "Orvane/app/ExtensionTargetWindow.h"
#include "Orvane/app/HandOffReader.h"
#include "OrvaneShellExt/HandOffSelection.h"
#include "platform/RegistryValues.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"
#include "tests/OrvaneShellExt/ShellExtTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace shellexttest;

void WriteFile(const fs::path& path, std::size_t size) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

// A test's stand-in for the uploader's window, answering like the uploader does.
class TargetWindow {
public:
    explicit TargetWindow(const std::wstring& title)
        : m_window([this](UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
                       if (message != WM_COPYDATA) return std::nullopt;
                       received.push_back(ReadCopyData(wParam, lParam));
                       return TRUE;
                   },
                   title) {}
    HWND Handle() const { return m_window.Handle(); }
    std::vector<ReceivedHandOff> received;

private:
    CExtensionTargetWindow m_window;
};

class Delivery : public testing::Test {
protected:
    Delivery() { ResetRegistry(); }
    ~Delivery() override { ResetRegistry(); }

    std::optional<std::wstring> LateUploaderValue(const wchar_t* name) {
        auto key = platform::SystemRegistry().Open(platform::Hive::CurrentUser, L"Software\\OrvaneTests\\LateUploader",
                                                   platform::Access::Read);
        return key ? platform::ReadString(*key, name, 1024) : std::nullopt;
    }
    // How many hand-off keys destination `number` holds.
    std::size_t HandOffKeys(std::int32_t number) {
        auto key = platform::SystemRegistry().Open(platform::Hive::CurrentUser,
                                                   kDestinationsPath + L"\\" + std::to_wstring(number),
                                                   platform::Access::Read);
        return key ? key->SubkeyNames().size() : 0;
    }

    testsupport::TempDir folder;
};

TEST_F(Delivery, TargetWindowIsHiddenAndTitledWithTheNumber) {
    TargetWindow target(L"3");
    EXPECT_EQ(::FindWindowW(L"OrvaneWindow", L"3"), target.Handle());
    EXPECT_FALSE(::IsWindowVisible(target.Handle()));
    EXPECT_EQ(::GetParent(target.Handle()), nullptr);
    EXPECT_EQ(::GetClassLongW(target.Handle(), GCL_STYLE), UINT(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    // Messages the owner leaves alone get the default handling.
    EXPECT_EQ(::SendMessageW(target.Handle(), WM_GETTEXTLENGTH, 0, 0), 1);
}

TEST_F(Delivery, RunningUploaderGetsTheNumberAndTheKeyOfTheSelection) {
    WriteFile(folder.Path() / "a.txt", 5);
    WriteFile(folder.Path() / "site" / "index.html", 12);
    WriteFile(folder.Path() / "site" / "img" / "logo.png", 300);
    SaveDestination(3, L"Home");
    TargetWindow target(L"3");
    const std::wstring base = folder.Wide();
    HandOffResult result;
    RunWhilePumping([&] { result = HandOffSelection(3, {base + L"\\a.txt", base + L"\\site"}); });
    EXPECT_EQ(result.outcome, HandOffOutcome::Delivered);

    ASSERT_EQ(target.received.size(), 1u);
    const ReceivedHandOff& message = target.received.front();
    EXPECT_EQ(message.number, 3u);
    EXPECT_EQ(message.dataNumber, 3u);
    EXPECT_EQ(message.size, 16u);
    EXPECT_EQ(HandOffKeyLines(3, message.guid),
              (std::vector<std::wstring>{L"@=" + base, L"a.txt=" + base + L"\\a.txt", L"site\\",
                                         L"site\\img\\", L"site\\img\\logo.png=" + base + L"\\site\\img\\logo.png",
                                         L"site\\index.html=" + base + L"\\site\\index.html"}));

    UploadJob job;
    ReadHandOffKey(L"", HandOffKeyPath(DestinationStore().GetDestination(3), GuidText(message.guid)), job);
    ASSERT_EQ(job.files.size(), 3u);
    EXPECT_EQ(job.files.at(base + L"\\site\\img\\logo.png").relativeFolder, L"site\\img");
    EXPECT_EQ(job.files.at(base + L"\\site\\img\\logo.png").size, 300u);
    EXPECT_EQ(job.files.at(base + L"\\a.txt").relativeFolder, L"");
}

TEST_F(Delivery, MachineWideNumberFindsItsWindowAndKeepsTheKeyInTheUserHive) {
    WriteFile(folder.Path() / "a.txt", 1);
    TargetWindow other(L"6553");
    TargetWindow target(L"65536");
    RunWhilePumping([&] { HandOffSelection(65536, {folder.Wide() + L"\\a.txt"}); });
    EXPECT_TRUE(other.received.empty());
    ASSERT_EQ(target.received.size(), 1u);
    EXPECT_EQ(target.received.front().number, 65536u);
    EXPECT_EQ(HandOffKeys(65536), 1u);
}

// The stand-in uploader opens its window two seconds after its start; the extension waits until
// it is idle, so the hand-off lands as soon as the window is there, not at the next probe.
TEST_F(Delivery, WithoutAWindowTheUploaderIsStartedFromItsQuotedPathAndGetsItOnceIdle) {
    // A program at "...\\Orvane.exe" beside the folder with a blank is what an unquoted command
    // line would start instead.
    testsupport::TempDir install;
    const fs::path program = install.Path() / "Orvane Test" / "Orvane.exe";
    fs::create_directories(program.parent_path());
    const fs::path built = WindowsPathOf(ORVANE_LATE_UPLOADER);
    fs::copy_file(built, program);
    fs::copy_file(built, install.Path() / "Orvane.exe");
    WriteUploaderPath(program.wstring());
    WriteFile(folder.Path() / "a.txt", 1);

    EXPECT_EQ(HandOffSelection(7, {folder.Wide() + L"\\a.txt"}).outcome, HandOffOutcome::Delivered);

    EXPECT_EQ(LateUploaderValue(L"Program"), program.wstring());
    EXPECT_EQ(LateUploaderValue(L"Number"), L"7");
    ASSERT_EQ(HandOffKeys(7), 1u);
    auto store = platform::SystemRegistry().Open(platform::Hive::CurrentUser, kDestinationsPath + L"\\7",
                                                 platform::Access::Read);
    EXPECT_EQ(LateUploaderValue(L"Guid"), store->SubkeyNames().front());
    std::printf("the started uploader received its hand-off %ls ms after it became idle\n",
                LateUploaderValue(L"IdleToHandOff").value_or(L"?").c_str());
}

TEST_F(Delivery, MissingProgramPathStartsNothingAndKeepsTheKey) {
    WriteFile(folder.Path() / "a.txt", 1);
    EXPECT_EQ(HandOffSelection(8, {folder.Wide() + L"\\a.txt"}).outcome, HandOffOutcome::NoProgramPath);
    EXPECT_EQ(HandOffKeys(8), 1u);
}

}  // namespace
