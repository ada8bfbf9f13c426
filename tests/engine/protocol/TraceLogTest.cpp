#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"
#include "Orvane/engine/protocol/TraceLog.h"
#include "platform/Registry.h"
#include "platform/RegistryValues.h"
#include "tests/engine/protocol/ProtocolTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeFtpServer.h"
#include "tests/support/TempDir.h"

// The trace's file is created once per process: a child process (this program, running only the
// disabled test below) writes it. On Windows the parent switches the trace on in the real registry;
// elsewhere each process has its own in-memory registry, so the child switches it on itself.

namespace {

const wchar_t* const kTraceKey = L"Software\\Orvane\\Trace";
const wchar_t* const kChildVariable = L"ORVANE_TRACE_CHILD_FILE";
constexpr int kThreads = 8;
constexpr int kLinesPerThread = 300;

// Long enough that a torn write would show.
std::wstring ThreadLine(int thread, int line) {
    return L"thread " + std::to_wstring(thread) + L" line " + std::to_wstring(line) + L" " +
           std::wstring(40 + thread * 7, static_cast<wchar_t>(L'a' + thread));
}

TEST(TraceLogChild, DISABLED_WritesTheLinesTheParentChecks) {
    const std::wstring file = testsupport::EnvironmentVariable(kChildVariable);
    ASSERT_FALSE(file.empty()) << "run by TraceLog tests only";
#ifndef _WIN32
    std::unique_ptr<platform::RegistryKey> key = platform::SystemRegistry().Create(platform::Hive::CurrentUser, kTraceKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(platform::WriteString(*key, L"File", file, platform::RegistryType::kExpandString));
#endif
    WriteTrace(L"first line");
    WriteTrace(L"220 ready\r\n");
    { TraceScope scope(L"Scope"); }
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int n = 0; n < kLinesPerThread; ++n) WriteTrace(ThreadLine(t, n));
        });
    for (std::thread& thread : threads) thread.join();

    testsupport::FakeFtpServer server;
    server.Send("220 ready\r\n", 4).On("USER bob", "331 Password please\r\n").On("PASS pa55", "230 Welcome\r\n");
    server.Start();
    platform::Event abort(platform::EventReset::Manual);
    CFTPControlConnection connection = protocoltest::Connect(server.Port(), abort);
    std::vector<std::wstring> transcript;
    EXPECT_EQ(CFTPCommandSequenceLogin(connection, abort, transcript, protocoltest::kTimeouts).Run("bob", "pa55").code, 230);
    connection.Close();
    server.Finish();
    WriteTrace(L"last line");
}

class TraceLogFile : public ::testing::Test {
protected:
    // The registry of the Wine prefix outlives this run: the trace is left off.
    void TearDown() override { platform::SystemRegistry().DeleteTree(platform::Hive::CurrentUser, kTraceKey); }

    testsupport::TempDir m_dir;
    std::filesystem::path m_file = m_dir.Path() / "trace.log";
};

TEST_F(TraceLogFile, HoldsWholeUtf16LinesFromEveryThreadAndNoPassword) {
#ifdef _WIN32
    std::unique_ptr<platform::RegistryKey> key = platform::SystemRegistry().Create(platform::Hive::CurrentUser, kTraceKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(platform::WriteString(*key, L"File", m_file.wstring()));
#endif
    for (int run = 0; run < 2; ++run) {  // the second process truncates the first one's file
        testsupport::ChildProcess child(testsupport::CurrentProgram(),
                                        {L"--gtest_also_run_disabled_tests", L"--gtest_filter=TraceLogChild.*"},
                                        {{kChildVariable, m_file.wstring()}});
        ASSERT_EQ(child.WaitForExit(platform::Millis(60000)), std::optional<int>(0));
    }
    // The file read as UTF-16LE without a byte-order mark, split at every CR LF.
    std::ifstream in(m_file, std::ios::binary);
    const std::vector<std::uint8_t> raw{std::istreambuf_iterator<char>(in), {}};
    const std::wstring text = platform::FromUtf16Bytes(raw.data(), raw.size() / 2);
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t crlf; (crlf = text.find(L"\r\n", start)) != std::wstring::npos; start = crlf + 2)
        lines.push_back(text.substr(start, crlf - start));
    EXPECT_EQ(text.substr(start), L"") << "an unterminated line";
    ASSERT_GE(lines.size(), 5u);
    const std::vector<std::wstring> head(lines.begin(), lines.begin() + 5);
    EXPECT_EQ(head, (std::vector<std::wstring>{L"first line", L"220 ready", L"", L"Scope entering", L"Scope exiting"}))
        << "a text ending in CR LF is followed by an empty line";
    EXPECT_EQ(lines.back(), L"last line");

    std::map<std::wstring, int> seen;
    for (const std::wstring& line : lines) {
        ++seen[line];
        EXPECT_EQ(line.find(L"pa55"), std::wstring::npos) << "the password reached the trace";
    }
    EXPECT_EQ(seen[L"first line"], 1) << "one run only: the second truncated the file";
    EXPECT_EQ(seen[L"PASS ****"], 1);
    int whole = 0;
    for (int t = 0; t < kThreads; ++t)
        for (int n = 0; n < kLinesPerThread; ++n) whole += seen[ThreadLine(t, n)] == 1;
    EXPECT_EQ(whole, kThreads * kLinesPerThread) << "lines of the threads torn or missing";
}

}  // namespace
