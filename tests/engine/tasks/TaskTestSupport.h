#pragma once
// What the task tests share: a destination on the loopback fake server, the script of a login
// and a QUIT, and a window that plays the dialog a task reports to.
#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "Orvane/engine/protocol/DirectoryListing.h"
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

// The greeting, AUTH TLS refused (the destination takes TLS when offered, as by default), a plain
// login with the destination's user, and the features of a server that does not offer UTF-8 (its
// names stay in the ANSI code page).
inline testsupport::FakeFtpServer& ScriptLogin(testsupport::FakeFtpServer& server,
                                               const char* features = "211-Features:\r\n SIZE\r\n211 End\r\n") {
    return server.Send("220 fake server ready\r\n")
        .On("AUTH TLS", "500 'AUTH TLS': command not understood.\r\n")
        .On("USER anna", "331 Password required for anna.\r\n")
        .On("PASS secret", "230 Logged in.\r\n")
        .On("FEAT", features);
}

// The end of one task's session; with `another`, the server then takes the next connection.
inline testsupport::FakeFtpServer& ScriptQuit(testsupport::FakeFtpServer& server, bool another = false) {
    server.On("QUIT", "221 Goodbye.\r\n");
    return another ? server.Accept() : server;
}

// The reply to PASV that sends the data connection to `port` on the loopback address.
inline std::string PassiveReply(std::uint16_t port) {
    return "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256) +
           ").\r\n";
}

inline bool Contains(const std::vector<std::wstring>& lines, const std::wstring& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::wstring& line) { return line.find(part) != std::wstring::npos; });
}

// A real window (a queue window off Windows) that records every task message in order, adopts
// what the messages carry, and lets the test wait for results while the thread's messages keep
// flowing.
class TaskInbox {
public:
    // One upload message: file key or local path, job key, bytes (a skipped file's error code).
    struct UploadEvent {
        unsigned message;
        std::wstring file;
        std::wstring jobKey;
        std::intptr_t bytes = 0;
    };

    TaskInbox()
        : m_window(L"OrvaneTestInbox", [this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
              return OnMessage(message, wParam, lParam);
          }) {}

    platform::WindowRef Ref() const { return m_window.Ref(); }

    // Waits, dispatching, until `ready()` holds after some message; false after `limit` in all.
    template <class Ready>
    bool WaitUntil(Ready ready, platform::Millis limit = platform::Millis(20000)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!ready()) {
            const auto left = std::chrono::duration_cast<platform::Millis>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !platform::WaitPumpingMessages(m_any, left)) return false;
        }
        return true;
    }

    // Waits, dispatching, until `count` results have arrived in all; false after `limit`.
    bool WaitForResults(std::size_t count, platform::Millis limit = platform::Millis(20000)) {
        return WaitUntil([&] { return results.size() >= count; }, limit);
    }

    // The upload events of one kind, in order.
    std::vector<std::wstring> Files(unsigned message) const {
        std::vector<std::wstring> files;
        for (const UploadEvent& event : uploads)
            if (event.message == message) files.push_back(event.file);
        return files;
    }

    std::vector<unsigned> messages;                         // every task message, in order
    std::vector<std::unique_ptr<CTaskResult>> results;      // of the done messages
    std::vector<std::unique_ptr<DirectoryContent>> listings;  // of WM_LIST_FINISHED, null included
    std::vector<UploadEvent> uploads;                       // WM_UPLOAD_STARTED to WM_UPLOAD_RESUMED

private:
    bool OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
        if (message < WM_TEST_CONNECTION_STARTED || message > WM_UPLOAD_RESUMED) return false;
        messages.push_back(message);
        m_any.Set();
        if (message >= WM_UPLOAD_STARTED) {
            UploadEvent event{message, {}, {}, 0};
            if (message == WM_UPLOAD_PROGRESS || message == WM_UPLOAD_RESUMED) {
                event.file = *platform::AdoptPosted<std::wstring>(wParam);
                event.bytes = lParam;
            } else if (message == WM_UPLOAD_FILE_SKIPPED) {
                event.file = *platform::AdoptPosted<std::wstring>(wParam);
                const auto skip = platform::AdoptPosted<UploadSkip>(lParam);
                event.jobKey = skip->jobKey;
                event.bytes = skip->errorCode;
            } else {
                if (message == WM_UPLOAD_STATUS || message == WM_UPLOAD_FILE_DONE)
                    event.file = *platform::AdoptPosted<std::wstring>(wParam);
                event.jobKey = *platform::AdoptPosted<std::wstring>(lParam);
            }
            uploads.push_back(std::move(event));
        }
        if (message == WM_LIST_FINISHED) listings.push_back(platform::AdoptPosted<DirectoryContent>(lParam));
        if (message == WM_UPLOAD_FINISHED || (message < WM_UPLOAD_STARTED && message % 2 == 1))
            results.push_back(platform::AdoptPosted<CTaskResult>(wParam));
        return true;
    }

    platform::Event m_any{platform::EventReset::Auto};  // some message came
    platform::MessageWindow m_window;
};
