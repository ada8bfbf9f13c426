// The job controller over plain fakes of its windows: queue order, counting, estimate, retry
// delays, the stop question, and the folder each job was confirmed for. The fakes of the two
// modal dialogs call back into the controller while they are "open", as their message loops do.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

#include "Orvane/app/JobTexts.h"
#include "Orvane/app/UploadController.h"
#include "platform/ErrorCodes.h"
#include "platform/RegistryValues.h"
#include "platform/memory/MemoryRegistry.h"
#include "platform/memory/ScrambleProtection.h"
#include "store/DestinationStore.h"
#include "store/HandOffKey.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

struct Started {
    std::wstring key, directory;
};

class FakeHost : public UploadControllerHost {
public:
    void StartUpload(const FTPSettings& destination, const std::wstring& key, const UploadJob&) override {
        started.push_back({key, destination.directory});
    }
    bool ConfirmFolder(FTPSettings& destination) override {
        if (duringConfirmation) std::exchange(duringConfirmation, nullptr)();
        if (!confirmedFolder) return false;
        destination.directory = *confirmedFolder;
        return true;
    }
    void CloseAndQuit() override { ++quits; }
    void StartRetryTimer(std::uint32_t milliseconds) override { timers.push_back(milliseconds); }
    void KillRetryTimer() override { ++kills; }
    void StartRedrawTimer(std::uint32_t milliseconds) override { redraws.push_back(milliseconds); }
    void ScheduleDeferredHandOff() override { ++deferredHandOffs; }
    void ShowResourceIcon(int) override {}
    void ShowProgressIcon(int percent) override {
        if (duringTrayUpdate) std::exchange(duringTrayUpdate, nullptr)();
        percents.push_back(percent);
    }
    void SetTooltip(const std::wstring& text) override { tooltip = text; }
    void ShowErrorBalloon(const std::wstring& title, const std::wstring&) override { balloons.push_back(title); }
    bool AskToStop(const std::wstring& text) override {
        question = text;
        return answerYes;
    }
    std::optional<int> ShowErrorDialog(const CTaskResult&, const UploadJob& job) override {
        ++dialogs;
        if (duringErrorDialog) std::exchange(duringErrorDialog, nullptr)();
        dialogDestination = job.destinationNumber;  // the dialog still reads what it was given
        return dialogAnswer;
    }
    void ShowLeftOutReport(const std::wstring& text) override {
        reports.push_back(text);
        quitsWhenReported = quits;
        if (duringReport) duringReport();  // what its modal loop lets through
    }
    std::uint32_t NowTick() override { return now; }

    std::optional<std::wstring> confirmedFolder = L"/chosen";
    std::function<void()> duringConfirmation, duringErrorDialog, duringTrayUpdate;  // each runs once
    std::vector<Started> started;
    int quits = 0, kills = 0, dialogs = 0, deferredHandOffs = 0, quitsWhenReported = -1;
    std::int32_t dialogDestination = 0;
    std::vector<std::uint32_t> timers, redraws;
    std::vector<int> percents;
    std::wstring tooltip, question;
    std::vector<std::wstring> balloons, reports;
    bool answerYes = false;
    std::optional<int> dialogAnswer;
    std::uint32_t now = 1000;
    std::function<void()> duringReport;  // runs at every report
};

const CTaskResult kSuccess(0, FTPReply{226, L"ok"}, {});
const CTaskResult kFailure(10054, FTPReply{}, {});

class Controller : public testing::Test {
protected:
    Controller() {
        FTPDestination destination = Store().GetDestination(3);
        destination.displayName = L"Home";
        destination.directory = L"/stored";
        Store().SaveDestination(destination);
    }
    DestinationStore Store() { return DestinationStore(registry, protection); }

    using Files = std::vector<std::pair<std::string, std::uint64_t>>;

    // Writes a hand-off key for destination 3 holding files of the given sizes (sparse: only
    // their sizes count here), and hands it to the controller.
    void HandOff(const std::wstring& key, const Files& files) {
        WriteHandOff(key, files);
        controller.OnHandOff(3, key);
    }
    void WriteHandOff(const std::wstring& key, const Files& files) {
        auto handOff = registry.Create(platform::Hive::CurrentUser, HandOffKeyPath(Store().GetDestination(3), key));
        for (const auto& [name, size] : files) {
            const fs::path path = folder.Path() / name;
            std::ofstream(path, std::ios::binary).close();
            fs::resize_file(path, size);
            platform::WriteString(*handOff, path.filename().wstring(), path.wstring());
        }
    }
    std::wstring PathOf(const std::string& name) { return (folder.Path() / name).wstring(); }
    void Run(const std::wstring& key, const CTaskResult& result) {
        controller.OnUploadStarted(key);
        controller.OnUploadFinished(result, key);
    }
    bool KeyExists(const std::wstring& key) {
        return registry.Open(platform::Hive::CurrentUser, HandOffKeyPath(Store().GetDestination(3), key),
                             platform::Access::Read) != nullptr;
    }

    testsupport::TempDir folder;
    platform::MemoryRegistry registry;
    platform::ScrambleProtection protection;
    FakeHost host;
    UploadController controller{host, registry, protection};
};

const std::wstring kFirst = L"{00000001-0000-0000-0000-000000000000}";
const std::wstring kSecond = L"{00000002-0000-0000-0000-000000000000}";
const std::wstring kThird = L"{00000003-0000-0000-0000-000000000000}";
const std::wstring kFourth = L"{00000004-0000-0000-0000-000000000000}";

TEST_F(Controller, FailureWaitsAGrowingDelayAndRetriesToTheConfirmedFolder) {
    HandOff(kFirst, {{"a.txt", 20}});
    EXPECT_EQ(host.started.at(0).directory, L"/chosen");
    Run(kFirst, kFailure);
    EXPECT_EQ(host.balloons, std::vector<std::wstring>{L"Uploading failed"});
    EXPECT_EQ(host.timers, std::vector<std::uint32_t>{20000});

    for (int failure = 2; failure <= 31; ++failure) {
        controller.OnRetryTimer();
        EXPECT_EQ(host.started.back().key, kFirst);
        EXPECT_EQ(host.started.back().directory, L"/chosen");  // not the stored "/stored"
        Run(kFirst, kFailure);
    }
    EXPECT_EQ(host.timers.at(4), 100000u);  // the fifth failure
    EXPECT_EQ(host.timers.at(29), 600000u);
    EXPECT_EQ(host.timers.back(), 600000u);
    EXPECT_EQ(host.quits, 0);
}

// The stop question's estimate goes by what this run sent: bytes found on the server, or sent
// before a resume that went wrong, took no time of it. A stop without a job ends without asking.
TEST_F(Controller, FileCutOffIsResumedAndTheStopQuestionCountsItsBytesOnce) {
    UploadController idle(host, registry, protection);
    idle.ConfirmStop();
    EXPECT_EQ(host.quits, 1);
    EXPECT_TRUE(host.question.empty());

    HandOff(kFirst, {{"a.bin", 10000}, {"b.bin", 5000}});
    const UploadJob& job = controller.Jobs().at(kFirst);
    controller.OnUploadStarted(kFirst);
    controller.ConfirmStop();  // answered No
    EXPECT_EQ(host.question, L"Estimated time to complete upload is unknown. Do you want to stop uploading?");
    controller.OnProgress(PathOf("a.bin"), 8192);
    controller.OnUploadFinished(kFailure, kFirst);  // a.bin was cut off

    HandOff(kSecond, {{"c.bin", 1}});
    controller.OnRetryTimer();
    EXPECT_TRUE(job.files.at(PathOf("a.bin")).cutOff);  // the retry may continue it
    EXPECT_FALSE(job.files.at(PathOf("b.bin")).cutOff);
    controller.OnUploadStarted(kFirst);
    controller.OnResumed(PathOf("a.bin"), 4096);  // the server kept less than was sent
    controller.OnProgress(PathOf("a.bin"), 2048);
    controller.OnResumed(PathOf("a.bin"), 0);  // that went wrong: whole again, the 2048 B still took their time
    EXPECT_EQ(job.doneBytes, 0);
    host.now += 2048;
    controller.ConfirmStop();
    EXPECT_EQ(host.question, L"Estimated time to complete current upload task is 00:00:15. There are 1 tasks "
                             L"waiting to start. Do you want to stop uploading?");
    controller.OnProgress(PathOf("a.bin"), 8192);
    controller.OnProgress(PathOf("a.bin"), 1808);
    controller.OnFileDone(PathOf("a.bin"), kFirst);
    controller.OnProgress(PathOf("a.bin"), 500);  // a confirmed file no longer counts
    controller.OnProgress(PathOf("b.bin"), 5000);
    EXPECT_EQ(job.doneBytes, job.totalBytes);
    EXPECT_EQ(host.percents.back(), 99);  // never 100 while the job runs
    host.answerYes = true;
    controller.ConfirmStop();
    EXPECT_EQ(host.quits, 2);
}

TEST_F(Controller, LateRedrawLeavesTheFailureTooltip) {
    HandOff(kFirst, {{"big.bin", 1000000}});
    controller.OnUploadStarted(kFirst);
    controller.OnProgress(PathOf("big.bin"), 8192);
    controller.OnProgress(PathOf("big.bin"), 8192);
    ASSERT_EQ(host.redraws.size(), 1u);
    controller.OnUploadFinished(kFailure, kFirst);
    host.now += 500;
    controller.OnRedrawTimer();
    EXPECT_EQ(host.tooltip, L"Upload to Home failed. Waiting before retry.");
    controller.OnRetryTimer();
    controller.OnUploadStarted(kFirst);
    controller.OnRedrawTimer();  // a restart before its first report keeps "started"
    EXPECT_EQ(host.tooltip, L"Uploading to Home started");
}

// The user is told once, after the queue has gone on; the program ends only after the report,
// and only when no job came meanwhile.
TEST_F(Controller, SkippedFileIsLeftOutAndReportedOnceTheJobHasSucceeded) {
    HandOff(kFirst, {{"a.bin", 100}, {"b.bin", 50}});
    HandOff(kSecond, {{"c.bin", 10}});
    controller.OnUploadStarted(kFirst);
    controller.OnFileSkipped(PathOf("b.bin"), kFirst, platform::kErrorFileNotFound);
    const UploadJob& job = controller.Jobs().at(kFirst);
    EXPECT_EQ(job.files.count(PathOf("b.bin")), 0u);  // no retry sends it
    EXPECT_EQ(job.leftOut, (std::vector<LeftOutItem>{{PathOf("b.bin"), platform::kErrorFileNotFound}}));
    EXPECT_EQ(job.totalBytes, 100);
    EXPECT_NE(ErrorInfoText(kFailure, job).find(L"left out:\r\n" + PathOf("b.bin")), std::wstring::npos);  // if it fails later
    controller.OnProgress(PathOf("a.bin"), 100);
    controller.OnFileDone(PathOf("a.bin"), kFirst);

    std::size_t startedWhenReported = 0;
    host.duringReport = [&] {
        startedWhenReported = host.started.size();
        // Meanwhile the waiting job ends, the last one, and a new hand-off comes.
        Run(kSecond, kSuccess);
        HandOff(kThird, {{"d.bin", 1}});
    };
    controller.OnUploadFinished(kSuccess, kFirst);
    EXPECT_EQ(host.reports.size(), 1u);
    EXPECT_EQ(startedWhenReported, 2u);  // the second job did not wait for the user
    EXPECT_EQ(host.quitsWhenReported, 0);
    EXPECT_EQ(host.quits, 0);  // the third job is under way
    EXPECT_EQ(host.started.back().key, kThird);

    host.duringReport = nullptr;
    Run(kThird, kSuccess);
    EXPECT_EQ(host.reports.size(), 1u);
    EXPECT_EQ(host.quits, 1);
    // A long list names twenty items and counts the rest.
    const std::wstring lines = LeftOutLines(std::vector<LeftOutItem>(22, {L"C:\\f", platform::kErrorAccessDenied}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L'\n'), 21);
    EXPECT_EQ(lines.substr(lines.rfind(L"\r\n")), L"\r\nand 2 more");
}

// The error dialog belongs to a pending failure only, and its Retry never sends a job twice.
TEST_F(Controller, ErrorDialogBelongsToAPendingFailureOnlyAndRetriesAtOnce) {
    HandOff(kFirst, {{"a.bin", 100}});
    HandOff(kSecond, {{"b.bin", 100}});
    controller.OnUploadStarted(kFirst);
    host.dialogAnswer = 4;
    controller.ShowErrorInformation();  // an old balloon clicked while the job runs
    controller.OnUploadFinished(kFailure, kFirst);
    controller.OnRetryTimer();
    controller.ShowErrorInformation();  // restarted, before its WM_UPLOAD_STARTED
    EXPECT_EQ(host.dialogs, 0);
    EXPECT_EQ(host.started.size(), 2u);
    Run(kFirst, kFailure);

    host.dialogAnswer.reset();  // the dialog could not be made: the retry timer runs again
    const int kills = host.kills;
    controller.ShowErrorInformation();
    EXPECT_EQ(host.kills, kills + 1);
    EXPECT_EQ(host.timers.size(), 3u);
    host.dialogAnswer = 4;
    controller.ShowErrorInformation();  // Retry: at once, and no balloon for its failure
    EXPECT_EQ(host.started.size(), 3u);
    const std::size_t balloons = host.balloons.size();
    Run(kFirst, kFailure);
    EXPECT_EQ(host.balloons.size(), balloons);

    host.duringErrorDialog = [&] {
        controller.ShowErrorInformation();  // a second click while it is open
        Run(kFirst, kSuccess);  // and the job ends meanwhile
    };
    controller.ShowErrorInformation();
    EXPECT_EQ(host.dialogs, 3);
    EXPECT_EQ(host.dialogDestination, 3);
    // Its Retry sent nothing again: the next job is the one under way.
    ASSERT_EQ(host.started.size(), 4u);
    EXPECT_EQ(host.started[3].key, kSecond);
    EXPECT_EQ(host.quits, 0);
    host.dialogAnswer = 3;
    Run(kSecond, kFailure);
    controller.ShowErrorInformation();  // Stop
    EXPECT_EQ(host.quits, 1);
}

TEST_F(Controller, UnconfirmedJobRetriesToTheStartingFolderFixedInCheckSettings) {
    auto options = registry.Create(platform::Hive::CurrentUser, L"Software\\Orvane\\Options");
    ASSERT_TRUE(options && platform::WriteDword(*options, L"SkipFolderConfirmation", 1));
    HandOff(kFirst, {{"a.bin", 1}});
    EXPECT_EQ(host.started.at(0).directory, L"/stored");
    Run(kFirst, kFailure);
    host.dialogAnswer = 4;
    host.duringErrorDialog = [&] {
        FTPDestination destination = Store().GetDestination(3);
        destination.directory = L"/fixed";
        Store().SaveDestination(destination);
    };
    controller.ShowErrorInformation();
    EXPECT_EQ(host.started.at(1).directory, L"/fixed");
}

// A tray update waits for the shell, and a hand-off sent meanwhile reaches the controller in the
// middle of it; its browser's loop must not let the job being drawn end under that update.
TEST_F(Controller, HandOffSentDuringATrayUpdateWaitsForTheMessageLoop) {
    HandOff(kFirst, {{"a.bin", 100000}});
    controller.OnUploadStarted(kFirst);
    WriteHandOff(kSecond, {{"b.bin", 1}});
    host.duringTrayUpdate = [&] {
        host.duringConfirmation = [&] { controller.OnUploadFinished(kSuccess, kFirst); };
        controller.OnHandOff(3, kSecond);
    };
    controller.OnProgress(PathOf("a.bin"), 8192);
    EXPECT_EQ(host.deferredHandOffs, 1);
    EXPECT_NE(host.tooltip.find(L"Total progress: 8KB of 97KB"), std::wstring::npos) << host.tooltip;
    controller.OnUploadFinished(kSuccess, kFirst);  // the first job ends before the loop gets to it
    EXPECT_EQ(host.quits, 0);
    controller.OnDeferredHandOff();
    ASSERT_EQ(host.started.size(), 2u);
    EXPECT_EQ(host.started[1].key, kSecond);
}

// Cancel drops that hand-off alone; the program ends when no job is left and no confirmation open.
TEST_F(Controller, CancelledConfirmationDropsOnlyItsHandOff) {
    HandOff(kFirst, {{"a.bin", 1}});
    controller.OnUploadStarted(kFirst);
    host.confirmedFolder.reset();  // every confirmation from here on is cancelled
    HandOff(kSecond, {{"b.bin", 1}});
    EXPECT_FALSE(KeyExists(kSecond));  // the user said no to it
    EXPECT_EQ(host.quits, 0);          // the running job goes on
    host.duringConfirmation = [&] {
        controller.OnUploadFinished(kSuccess, kFirst);  // the last job ends while the third is confirmed
        HandOff(kFourth, {{"d.bin", 1}});               // and a fourth is cancelled on top of it
        EXPECT_EQ(host.quits, 0);
    };
    HandOff(kThird, {{"c.bin", 1}});
    EXPECT_EQ(host.quits, 1);
    EXPECT_TRUE(controller.Jobs().empty());
    EXPECT_EQ(host.started.size(), 1u);
    EXPECT_FALSE(KeyExists(kThird) || KeyExists(kFourth));
}

TEST_F(Controller, FilesPastFourGiBCountInFull) {
    HandOff(kFirst, {{"huge.bin", 5ull << 30}});
    const UploadJob& job = controller.Jobs().at(kFirst);
    EXPECT_EQ(job.totalBytes, 5ll << 30);
    host.now = 0xFFFFF000;  // the tick count wraps during the job
    controller.OnUploadStarted(kFirst);
    host.now += 60000;
    controller.OnProgress(PathOf("huge.bin"), 3ll << 30);
    EXPECT_EQ(host.percents.back(), 59);
    EXPECT_NE(host.tooltip.find(L"Total progress: 3072.0MB of 5120.0MB"), std::wstring::npos) << host.tooltip;
    EXPECT_EQ(EstimateRemainingTime(job, host.now), L"00:00:40");
    EXPECT_NE(ErrorInfoText(kFailure, job).find(L"after 60%"), std::wstring::npos);
    EXPECT_EQ(ProgressPercent(UploadJob{}), 0);  // a job without bytes
}

}  // namespace
