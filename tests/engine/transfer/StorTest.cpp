// Uploads of single files against a real server (pyftpdlib), judged by the bytes that arrive in
// its folder and by the progress messages a real window (a queue window off Windows) receives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequenceStor.h"
#include "Orvane/engine/protocol/FTPCommandSequenceTypeI.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "platform/ErrorCodes.h"
#include "platform/File.h"
#include "platform/Window.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/engine/transfer/TransferTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using transfertest::Outcome;
using platform::Event;
using platform::EventReset;

const FTPTimeouts& kTimeouts = transfertest::kRealServerTimeouts;

std::vector<char> RandomBytes(std::size_t size) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::vector<char> bytes(size);
    for (char& b : bytes) b = static_cast<char>(random());
    return bytes;
}

std::vector<char> Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

class Stor : public testsupport::FtpServerFixture {
protected:
    void SetUp() override {
        FtpServerFixture::SetUp();
        if (!ServerStarted()) return;
        m_connection = transfertest::LogIn(Server(), m_abort, m_transcript);
        CFTPCommandSequenceTypeI(m_connection, m_abort, m_transcript, kTimeouts).Run();
    }

    fs::path LocalFile(const std::string& name, const std::vector<char>& bytes) {
        const fs::path path = m_local.Path() / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // Runs the sequence on a thread of its own, as a task would, while this thread's window takes
    // the progress messages. `onProgress` runs on this thread for each message.
    Outcome Upload(const fs::path& local, const std::string& remote,
                   const std::function<void(std::intptr_t)>& onProgress = {}) {
        Event finished(EventReset::Manual);
        platform::MessageWindow window(L"OrvaneTestProgress", [&](unsigned message, std::uintptr_t wParam,
                                                                  std::intptr_t lParam) {
            if (message != WM_UPLOAD_PROGRESS) return false;
            const auto path = platform::AdoptPosted<std::wstring>(wParam);
            EXPECT_EQ(*path, local.wstring());
            progress.push_back(lParam);
            if (onProgress) onProgress(lParam);
            return true;
        });
        Outcome outcome;
        std::thread task([&] {
            outcome = transfertest::OutcomeOf([&] {
                return CFTPCommandSequenceStor(m_connection, m_abort, m_transcript, kTimeouts)
                    .Run(local.wstring(), remote, window.Ref());
            });
            finished.Set();
        });
        const bool ended = platform::WaitPumpingMessages(finished, platform::Millis(60000));
        task.join();
        EXPECT_TRUE(ended);
        platform::DispatchPendingMessages();  // the last progress messages
        return outcome;
    }

    Event m_abort{EventReset::Manual};
    CFTPControlConnection m_connection;
    std::vector<std::wstring> m_transcript;
    testsupport::TempDir m_local;
    std::vector<std::intptr_t> progress;
};

TEST_F(Stor, FilesArriveWholeWithOneProgressMessagePerChunk) {
    const struct {
        const char* name;
        std::size_t size;
    } cases[] = {{"empty.bin", 0}, {"three chunks and a byte.bin", 8192 * 3 + 1}, {"large.bin", 64u << 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        progress.clear();
        const std::vector<char> bytes = RandomBytes(c.size);
        const Outcome outcome = Upload(LocalFile(c.name, bytes), c.name);
        ASSERT_TRUE(outcome.reply.has_value()) << outcome.error;
        EXPECT_EQ(outcome.reply->code, 226);
        EXPECT_TRUE(Contents(Root() / c.name) == bytes);
        const std::size_t chunks = (c.size + 8191) / 8192;
        ASSERT_EQ(progress.size(), chunks);
        std::size_t total = 0;
        for (std::size_t k = 0; k < chunks; ++k) {
            EXPECT_EQ(progress[k], k + 1 < chunks ? 8192 : static_cast<std::intptr_t>(c.size - 8192 * k));
            total += static_cast<std::size_t>(progress[k]);
        }
        EXPECT_EQ(total, c.size);
    }
}

// Not the receive time-out (10060) that waiting for a final reply that never comes would give.
TEST_F(Stor, MissingLocalFileEndsAtOnceWithItsError) {
    const Outcome missing = Upload(m_local.Path() / "missing.bin", "missing.bin");
    EXPECT_EQ(missing.error, platform::kErrorFileNotFound);
    EXPECT_TRUE(progress.empty());
}

TEST_F(Stor, FileHeldOpenByAWriterIsASharingViolation) {
    const fs::path path = LocalFile("busy.bin", RandomBytes(100));
    platform::File writer = platform::CreateForWriting(path.wstring());
    const Outcome outcome = Upload(path, "busy.bin");
    EXPECT_EQ(outcome.error, platform::kErrorSharingViolation);
    EXPECT_TRUE(progress.empty());
}

TEST_F(Stor, StopEndsTheTransferSoon) {
    const std::vector<char> bytes = RandomBytes(128u << 20);
    const fs::path path = LocalFile("stopped.bin", bytes);
    const Outcome outcome = Upload(path, "stopped.bin", [&](std::intptr_t) { m_abort.Set(); });
    EXPECT_EQ(outcome.error, platform::kErrorAborted);
    ASSERT_FALSE(progress.empty());
    // Messages already queued when Stop came still arrive, but the file was not sent whole.
    EXPECT_LT(progress.size() * 8192, bytes.size());
}

TEST_F(Stor, RefusedStorIsTheServersReply) {
    const fs::path path = LocalFile("a.bin", RandomBytes(10));
    const Outcome outcome = Upload(path, "no such folder/a.bin");
    ASSERT_TRUE(outcome.refusal.has_value());
    EXPECT_EQ(outcome.refusal->code / 100, 5);
}

TEST_F(Stor, NameWithALineBreakIsRefusedBeforeAnythingIsSent) {
    const fs::path path = LocalFile("a.bin", RandomBytes(10));
    const std::size_t before = m_transcript.size();
    const Outcome outcome = Upload(path, "a.bin\r\nDELE x");
    EXPECT_EQ(outcome.error, platform::kErrorInvalidParameter);
    EXPECT_EQ(m_transcript.size(), before);
}

}  // namespace
