// What bench/upload measures with our engine:
//   orvane_bench upload PORT USER PASSWORD FILE...  one session; every file stored by name
//   orvane_bench parse LINES                        the listing parser on a listing of LINES lines
// Prints one line of figures; the script compares them with curl's.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Orvane/engine/protocol/DirectoryListing.h"
#include "Orvane/engine/protocol/FTPCommandSequenceLogin.h"
#include "Orvane/engine/protocol/FTPCommandSequenceQuit.h"
#include "Orvane/engine/protocol/FTPCommandSequenceStor.h"
#include "Orvane/engine/protocol/FTPCommandSequenceTypeI.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int Upload(int argc, char** argv) {
    if (argc < 6) return 2;
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[2]));
    platform::Event abort(platform::EventReset::Manual);
    std::vector<std::wstring> transcript;
    const auto start = Clock::now();
    CFTPControlConnection connection = CFTPControlConnection::ConnectToServer(L"127.0.0.1", port, abort, {});
    CFTPCommandSequenceLogin(connection, abort, transcript).Run(argv[3], argv[4]);
    CFTPCommandSequenceTypeI(connection, abort, transcript).Run();
    std::uintmax_t bytes = 0;
    for (int k = 5; k < argc; ++k) {
        const std::filesystem::path file = argv[k];
        transcript.clear();  // a long job must not grow the transcript without end
        CFTPCommandSequenceStor(connection, abort, transcript).Run(file.wstring(), file.filename().string(), {});
        bytes += std::filesystem::file_size(file);
    }
    CFTPCommandSequenceQuit(connection, abort, transcript).Run();
    const double seconds = SecondsSince(start);
    std::printf("files %d bytes %ju seconds %.3f\n", argc - 5, bytes, seconds);
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
        if (argc >= 2 && std::string(argv[1]) == "upload") return Upload(argc, argv);
        if (argc >= 2 && std::string(argv[1]) == "parse") return Parse(argc, argv);
    } catch (int error) {
        std::fprintf(stderr, "error %d\n", error);
        return 1;
    } catch (const FTPReply&) {
        std::fprintf(stderr, "refused by the server\n");
        return 1;
    }
    std::fprintf(stderr, "usage: orvane_bench upload PORT USER PASSWORD FILE... | parse LINES\n");
    return 2;
}
