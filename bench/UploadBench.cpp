// What bench/upload and bench/wan measure with our engine:
//   orvane_bench upload PORT USER PASSWORD FOLDER FILE...  one session of STORs into FOLDER ("." for
//                                                          the login folder); every file by name
//   orvane_bench upload-tls PORT USER PASSWORD FOLDER SHA256 FILE...
//                                                          the same over TLS (AUTH TLS, PROT P),
//                                                          trusting the certificate with that
//                                                          SHA-256 fingerprint
//   orvane_bench tree PORT USER PASSWORD FOLDER LOCAL      everything below the folder LOCAL,
//                                                          through the engine's upload task
//   orvane_bench parse LINES                               the listing parser on LINES lines
// Prints one line of figures; the script compares them with curl's.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Orvane/app/UploadJob.h"
#include "Orvane/engine/protocol/DirectoryListing.h"
#include "Orvane/engine/protocol/FTPCommandSequenceChangeDir.h"
#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"
#include "Orvane/engine/protocol/FTPCommandSequenceQuit.h"
#include "Orvane/engine/protocol/FTPCommandSequenceSecure.h"
#include "Orvane/engine/protocol/FTPCommandSequenceStor.h"
#include "Orvane/engine/protocol/FTPCommandSequenceTypeI.h"
#include "Orvane/engine/tasks/FTPEngine.h"
#include "Orvane/engine/tasks/TaskMessages.h"
#include "platform/Window.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

int Upload(int argc, char** argv, bool tls) {
    const int firstFile = tls ? 7 : 6;
    if (argc < firstFile + 1) return 2;
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[2]));
    std::optional<platform::TlsCredentials> credentials;
    if (tls) {
        const auto pinned = platform::ParseFingerprint(Wide(argv[6]));
        if (!pinned) return 2;
        credentials.emplace(L"127.0.0.1", pinned);
    }
    platform::Event abort(platform::EventReset::Manual);
    std::vector<std::wstring> transcript;
    const auto start = Clock::now();
    CFTPControlConnection connection = CFTPControlConnection::ConnectToServer(L"127.0.0.1", port, abort, {});
    CFTPCommandSequenceLogin(connection, abort, transcript).Run(argv[3], argv[4], [&] {
        if (!credentials) return;
        CFTPCommandSequenceSecure secure(connection, abort, transcript);
        secure.RequestTls(true);
        connection.Secure(*credentials, abort, FTPTimeouts{}.receive);
        secure.ProtectData();
    });
    if (std::string(argv[5]) != ".") CFTPCommandSequenceChangeDir(connection, abort, transcript).Run(argv[5]);
    CFTPCommandSequenceTypeI(connection, abort, transcript).Run();
    std::uintmax_t bytes = 0;
    for (int k = firstFile; k < argc; ++k) {
        const std::filesystem::path file = argv[k];
        transcript.clear();  // a long job must not grow the transcript without end
        CFTPCommandSequenceStor(connection, abort, transcript).Run(file.wstring(), file.filename().string(), {});
        bytes += std::filesystem::file_size(file);
    }
    CFTPCommandSequenceQuit(connection, abort, transcript).Run();
    const double seconds = SecondsSince(start);
    std::printf("files %d bytes %ju seconds %.3f\n", argc - firstFile, bytes, seconds);
    return 0;
}

// The job a hand-off of the folder `local` becomes (ASCII names only: this is a benchmark).
UploadJob JobOf(const std::filesystem::path& local) {
    UploadJob job;
    job.key = L"{00000000-0000-0000-0000-00000000be4c}";
    for (const auto& item : std::filesystem::recursive_directory_iterator(local)) {
        if (!item.is_regular_file()) continue;
        std::string folder = std::filesystem::relative(item.path().parent_path(), local).string();
        if (folder == ".") folder.clear();
        for (char& c : folder)
            if (c == '/') c = '\\';
        job.AddFile({Wide(item.path().string()), Wide(item.path().filename().string()), Wide(folder),
                     static_cast<std::uint32_t>(item.file_size())});
    }
    return job;
}

// Uploads a tree with CFTPEngine, as the uploader does, and waits for its end.
int Tree(int argc, char** argv) {
    if (argc < 7) return 2;
    const UploadJob job = JobOf(argv[6]);
    FTPSettings destination;
    destination.server = L"127.0.0.1";
    destination.port = static_cast<std::uint16_t>(std::atoi(argv[2]));
    destination.userName = Wide(argv[3]);
    destination.password = Wide(argv[4]);
    destination.directory = std::string(argv[5]) == "." ? L"" : Wide(argv[5]);

    std::size_t filesDone = 0;
    std::unique_ptr<CTaskResult> result;
    platform::Event finished(platform::EventReset::Auto);
    // Adopts what every upload message carries, as the job controller does.
    platform::MessageWindow inbox(L"OrvaneBench", [&](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
        if (message == WM_UPLOAD_PROGRESS || message == WM_UPLOAD_RESUMED) {
            platform::AdoptPosted<std::wstring>(wParam);
        } else if (message == WM_UPLOAD_STATUS || message == WM_UPLOAD_FILE_DONE) {
            platform::AdoptPosted<std::wstring>(wParam);
            platform::AdoptPosted<std::wstring>(lParam);
            filesDone += message == WM_UPLOAD_FILE_DONE;
        } else if (message == WM_UPLOAD_STARTED) {
            platform::AdoptPosted<std::wstring>(lParam);
        } else if (message == WM_UPLOAD_FINISHED) {
            result = platform::AdoptPosted<CTaskResult>(wParam);
            platform::AdoptPosted<std::wstring>(lParam);
            finished.Set();
        } else {
            return false;
        }
        return true;
    });

    const auto start = Clock::now();
    CFTPEngine engine;
    engine.Upload(destination, job.key, job, inbox.Ref());
    while (!result)
        if (!platform::WaitPumpingMessages(finished, platform::Millis(60000))) break;
    const double seconds = SecondsSince(start);
    if (!result || !result->Succeeded() || filesDone != job.files.size()) {
        std::fprintf(stderr, "upload failed: error %u reply %d, %zu of %zu files\n", result ? result->errorCode : 0u,
                     result ? result->reply.code : 0, filesDone, job.files.size());
        return 1;
    }
    std::printf("files %zu seconds %.3f\n", filesDone, seconds);
    return 0;
}

int Parse(int argc, char** argv) {
    if (argc < 3) return 2;
    const long lines = std::atol(argv[2]);
    std::wstring listing;
    for (long k = 0; k < lines; ++k)
        listing += L"-rw-r--r--   1 owner    group        4096 Dec  7 10:00 file number " + std::to_wstring(k) + L".txt\r\n";
    const auto start = Clock::now();
    const auto entries = ParseListing(listing);
    const double seconds = SecondsSince(start);
    std::printf("lines %ld entries %zu seconds %.4f lines/s %.0f\n", lines, entries.size(), seconds,
                seconds > 0 ? lines / seconds : 0.0);
    return entries.size() == static_cast<std::size_t>(lines) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc >= 2 && std::string(argv[1]) == "upload") return Upload(argc, argv, false);
        if (argc >= 2 && std::string(argv[1]) == "upload-tls") return Upload(argc, argv, true);
        if (argc >= 2 && std::string(argv[1]) == "tree") return Tree(argc, argv);
        if (argc >= 2 && std::string(argv[1]) == "parse") return Parse(argc, argv);
    } catch (int error) {
        std::fprintf(stderr, "error %d\n", error);
        return 1;
    } catch (const FTPReply&) {
        std::fprintf(stderr, "refused by the server\n");
        return 1;
    }
    std::fprintf(stderr, "usage: orvane_bench upload PORT USER PASSWORD FOLDER FILE... | upload-tls PORT USER PASSWORD "
                         "FOLDER SHA256 FILE... | tree PORT USER PASSWORD FOLDER LOCAL | parse LINES\n");
    return 2;
}
