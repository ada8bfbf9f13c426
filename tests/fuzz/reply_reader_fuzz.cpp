// libFuzzer target: the control connection's reply framing. The first byte picks a segment size;
// the rest is the byte stream. Fed whole and fed in segments, the stream must be cut into the same
// replies, each ending with its LF, and every reply must parse without reading outside itself, in
// the ANSI code page and in UTF-8, and as the answer to FEAT, whose features must be findable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Orvane/engine/protocol/FTPFeatures.h"
#include "Orvane/engine/protocol/FTPReplyReader.h"

namespace {

// Cuts what `reader` holds into replies, checking each one; returns the status that ended it.
CFTPReplyReader::Status Drain(CFTPReplyReader& reader, std::vector<std::string>& replies) {
    std::string reply;
    CFTPReplyReader::Status status;
    while ((status = reader.Next(reply)) == CFTPReplyReader::Status::Complete) {
        if (reply.empty() || reply.back() != '\n') std::abort();
        (void)ParseReply(reply);
        (void)ParseReply(reply, platform::CodePage::Utf8);
        (void)ParseGreeting(reply);
        const FTPFeatures features = ParseFeatures(reply);
        for (const FTPFeatures::Feature& feature : features.features)
            if (feature.name.empty() || feature.name.find(' ') != std::string::npos || !features.Has(feature.name))
                std::abort();
        replies.push_back(reply);
    }
    return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t segment = data[0] % 16 + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    CFTPReplyReader whole, pieces;
    std::vector<std::string> wholeReplies, piecesReplies;
    whole.Append(stream);
    Drain(whole, wholeReplies);
    auto status = CFTPReplyReader::Status::NeedMore;
    for (std::size_t at = 0; at < stream.size() && status != CFTPReplyReader::Status::TooLong; at += segment) {
        pieces.Append(stream.substr(at, segment));
        status = Drain(pieces, piecesReplies);
    }
    if (wholeReplies != piecesReplies || whole.Pending() != pieces.Pending()) std::abort();
    return 0;
}
