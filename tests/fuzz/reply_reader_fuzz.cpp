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

struct Framed {
    std::vector<std::string> replies;
    CFTPReplyReader::Status last = CFTPReplyReader::Status::NeedMore;
};

void Drain(CFTPReplyReader& reader, Framed& framed) {
    std::string reply;
    while ((framed.last = reader.Next(reply)) == CFTPReplyReader::Status::Complete) {
        if (reply.empty() || reply.back() != '\n') std::abort();
        (void)ParseReply(reply);
        (void)ParseReply(reply, platform::CodePage::Utf8);
        (void)ParseGreeting(reply);
        const FTPFeatures features = ParseFeatures(reply);
        for (const FTPFeatures::Feature& feature : features.features)
            if (feature.name.empty() || feature.name.find(' ') != std::string::npos || !features.Has(feature.name))
                std::abort();
        framed.replies.push_back(reply);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t segment = data[0] % 16 + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    CFTPReplyReader whole;
    Framed wholeFramed;
    whole.Append(stream);
    Drain(whole, wholeFramed);

    CFTPReplyReader pieces;
    Framed piecesFramed;
    for (std::size_t at = 0; at < stream.size() && piecesFramed.last != CFTPReplyReader::Status::TooLong;
         at += segment) {
        pieces.Append(stream.substr(at, segment));
        Drain(pieces, piecesFramed);
    }
    if (wholeFramed.replies != piecesFramed.replies) std::abort();
    if (whole.Pending() != pieces.Pending()) std::abort();
    return 0;
}
