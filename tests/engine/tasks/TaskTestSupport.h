#pragma once
// What the task tests share: a destination on the loopback fake server, the script of a login
// and a QUIT, and a window that plays the dialog a task reports to.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Orvane/engine/tasks/TaskMessages.h"
#include "Orvane/engine/tasks/TaskResult.h"
#include "platform/Window.h"
#include "store/FTPSettings.h"
#include "tests/support/FakeFtpServer.h"

inline FTPSettings Destination(std::uint16_t port, std::wstring directory = L"") {
    FTPSettings settings;
    settings.displayName = L"test";
    settings.server = L"127.0.0.1";
    settings.port = port;
    settings.userName = L"anna";
    settings.password = L"secret";
    settings.directory = std::move(directory);
    return settings;
}

// The greeting and a plain login with the destination's user.
inline testsupport::FakeFtpServer& ScriptLogin(testsupport::FakeFtpServer& server) {
    return server.Send("220 fake server ready\r\n")
        .On("USER anna", "331 Password required for anna.\r\n")
        .On("PASS secret", "230 Logged in.\r\n");
}

// The end of one task's session; with `another`, the server then takes the next connection.
inline testsupport::FakeFtpServer& ScriptQuit(testsupport::FakeFtpServer& server, bool another = false) {
    server.On("QUIT", "221 Goodbye.\r\n");
    return another ? server.Accept() : server;
}

inline bool Contains(const std::vector<std::wstring>& lines, const std::wstring& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::wstring& line) { return line.find(part) != std::wstring::npos; });
}

// A real window (a queue window off Windows) that records every task message in order, adopts
// the posted results, and lets the test wait for them while the thread's messages keep flowing.
class TaskInbox {
public:
    TaskInbox()
        : m_window(L"OrvaneTestInbox", [this](unsigned message, std::uintptr_t wParam, std::intptr_t) {
              if (message < WM_TEST_CONNECTION_STARTED || message > WM_RENAME_FINISHED) return false;
              messages.push_back(message);
              if (message % 2 == 1) {  // the done messages carry the result
                  results.push_back(platform::AdoptPosted<CTaskResult>(wParam));
                  m_done.Set();
              }
              return true;
          }) {}

    platform::WindowRef Ref() const { return m_window.Ref(); }
    void Destroy() { m_window.Destroy(); }

    // Waits, dispatching, until `count` results have arrived in all; false after `limit`
    // without a new one.
    bool WaitForResults(std::size_t count, platform::Millis limit = platform::Millis(20000)) {
        while (results.size() < count)
            if (!platform::WaitPumpingMessages(m_done, limit)) return false;
        return true;
    }

    std::vector<unsigned> messages;
    std::vector<std::unique_ptr<CTaskResult>> results;

private:
    platform::Event m_done{platform::EventReset::Auto};
    platform::MessageWindow m_window;
};
