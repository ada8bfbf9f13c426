#pragma once
// What the engine tests against the real server share: local trees to upload, the job the
// hand-off would make of them, and a comparison of the server's tree with the local one.
#include <filesystem>
#include <fstream>
#include <string>
#include <iterator>
#include <map>
#include <string_view>
#include <vector>

#include "Orvane/app/UploadJob.h"
#include "Orvane/engine/protocol/FTPTimeouts.h"
#include "platform/File.h"
#include "platform/TextCodec.h"
#include "store/FTPSettings.h"
#include "tests/support/AwkwardTree.h"
#include "tests/support/PyFtpdServer.h"

namespace uploadtest {

namespace fs = std::filesystem;

inline const FTPTimeouts kTimeouts{platform::Millis(5000), platform::Millis(5000)};

// Wide names as the platform's file layer spells them on disk: UTF-8 off Windows. (The standard
// library's own wide conversion there follows the C locale and refuses every non-ASCII name.)
inline fs::path PathOf(std::wstring_view name) { return testsupport::NativePath(std::wstring(name)); }

inline std::wstring WideOf(const fs::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return platform::FromAnsi(path.string(), platform::CodePage::Utf8);
#endif
}

inline void WriteFile(const fs::path& path, std::size_t size, char seed = 'a') {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(seed + i % 23));
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The job a hand-off of `selected` (files and folders below one base folder) becomes: every
// file below a selected folder, its remote folder the path below the base, joined by "\".
inline UploadJob JobOf(const fs::path& base, const std::vector<fs::path>& selected) {
    UploadJob job;
    job.key = L"{00000000-0000-0000-0000-000000000001}";
    auto add = [&](const fs::path& file) {
        const fs::path relative = fs::relative(file.parent_path(), base);
        std::wstring folder = relative == "." ? L"" : WideOf(relative);
        for (wchar_t& c : folder)
            if (c == L'/') c = L'\\';
        const platform::File opened = platform::OpenForReading(WideOf(file));
        job.AddFile({WideOf(file), WideOf(file.filename()), folder, platform::SizeOf(opened),
                     platform::LastWriteTime(opened)});
    };
    for (const fs::path& item : selected) {
        if (fs::is_directory(item)) {
            for (const auto& entry : fs::recursive_directory_iterator(item))
                if (entry.is_regular_file()) add(entry.path());
        } else {
            add(item);
        }
    }
    return job;
}

// Every file below `folder`, by relative path, with its content.
inline std::map<std::wstring, std::string> TreeOf(const fs::path& folder) {
    std::map<std::wstring, std::string> tree;
    if (!fs::exists(folder)) return tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            tree[WideOf(fs::relative(entry.path(), folder).generic_u8string())] = ReadFile(entry.path());
    return tree;
}

inline FTPSettings DestinationOn(const testsupport::PyFtpdServer& server, std::wstring directory = L"") {
    FTPSettings settings;
    settings.displayName = L"pyftpdlib";
    settings.server = L"127.0.0.1";
    settings.port = server.Port();
    settings.userName = std::wstring(server.Settings().user.begin(), server.Settings().user.end());
    settings.password = std::wstring(server.Settings().password.begin(), server.Settings().password.end());
    settings.directory = std::move(directory);
    return settings;
}

// The transcript lines that start with `command`.
inline std::vector<std::wstring> Sent(const std::vector<std::wstring>& transcript, const std::wstring& command) {
    std::vector<std::wstring> lines;
    for (const std::wstring& line : transcript)
        if (line.rfind(command, 0) == 0) lines.push_back(line.substr(0, line.find_last_not_of(L"\r\n") + 1));
    return lines;
}

}  // namespace uploadtest
