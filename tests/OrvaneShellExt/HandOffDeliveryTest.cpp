// The hand-off when no uploader's window is there: the start-and-probe path with a real program
// that opens its window late.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "OrvaneShellExt/HandOffSelection.h"
#include "platform/RegistryValues.h"
#include "store/ApplicationSettings.h"
#include "store/DestinationStore.h"
#include "tests/OrvaneShellExt/ShellExtTestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace shellexttest;

class Delivery : public testing::Test {
protected:
    Delivery() {
        ResetRegistry();
        std::ofstream(folder.Path() / "a.txt") << "x";
    }
    ~Delivery() override { ResetRegistry(); }

    // How many hand-off keys destination `number` holds.
    std::size_t HandOffKeys(std::int32_t number) {
        auto key = platform::SystemRegistry().Open(platform::Hive::CurrentUser,
                                                   kDestinationsPath + L"\\" + std::to_wstring(number),
                                                   platform::Access::Read);
        return key ? key->SubkeyNames().size() : 0;
    }

    testsupport::TempDir folder;
    const std::wstring file = folder.Wide() + L"\\a.txt";
};

// The stand-in uploader opens its window two seconds after its start; the extension waits until
// it is idle and probes for the window.
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

    EXPECT_EQ(HandOffSelection(7, {file}).outcome, HandOffOutcome::Delivered);

    // Which program took it; a wrong number would have titled its window wrongly.
    auto received = platform::SystemRegistry().Open(platform::Hive::CurrentUser,
                                                    L"Software\\OrvaneTests\\LateUploader", platform::Access::Read);
    ASSERT_NE(received, nullptr);
    EXPECT_EQ(platform::ReadString(*received, L"Program", 1024), program.wstring());
    EXPECT_EQ(HandOffKeys(7), 1u);
}

TEST_F(Delivery, MissingProgramPathStartsNothingAndKeepsTheKey) {
    EXPECT_EQ(HandOffSelection(8, {file}).outcome, HandOffOutcome::NoProgramPath);
    EXPECT_EQ(HandOffKeys(8), 1u);
}

}  // namespace
