#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPReplyReader.h"

namespace {

using Status = CFTPReplyReader::Status;

struct Framed {
    std::vector<std::string> replies;
    std::string pending;
};

// Feeds `stream` in pieces of `piece` bytes and collects every reply the reader completes.
Framed Frame(const std::string& stream, std::size_t piece) {
    CFTPReplyReader reader;
    Framed framed;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        reader.Append(std::string_view(stream).substr(at, piece));
        std::string reply;
        for (Status status; (status = reader.Next(reply)) != Status::NeedMore;) {
            if (status == Status::TooLong) {
                ADD_FAILURE() << "refused as too long";
                return framed;
            }
            framed.replies.push_back(reply);
        }
    }
    framed.pending = std::string(reader.Pending());
    return framed;
}

TEST(ReplyReader, FramesRepliesAlikeWhateverTheSegmentSizes) {
    struct Case {
        const char* name;
        std::string stream;
        std::vector<std::string> replies;
        std::string pending;
    };
    const std::vector<Case> cases = {
        {"two replies back to back", "331 pass\r\n230 in\r\n", {"331 pass\r\n", "230 in\r\n"}, ""},
        {"bytes past a reply stay", "220 ok\r\n331 pa", {"220 ok\r\n"}, "331 pa"},
        {"multi-line waits for its closing line", "230-Welcome\r\n230-more\r\n", {}, "230-Welcome\r\n230-more\r\n"},
        {"inner lines with other codes or none", "211-Features\r\n MDTM\r\n220 not the end\r\n211 End\r\n",
         {"211-Features\r\n MDTM\r\n220 not the end\r\n211 End\r\n"}, ""},
        {"closing line that is only the code", "250-a\r\n250\r\n", {"250-a\r\n250\r\n"}, ""},
        {"bare LF line ends", "220-hi\n220 there\n331 pass\n", {"220-hi\n220 there\n", "331 pass\n"}, ""},
        {"CR alone ends nothing", "220 a\r220 b\r", {}, "220 a\r220 b\r"},
        {"a line without a code is a reply of its own", "hello\r\n", {"hello\r\n"}, ""},
        {"a short first line", "22\r\n", {"22\r\n"}, ""},
    };
    for (const Case& c : cases) {
        for (std::size_t piece : {std::size_t(1), std::size_t(2), std::size_t(5), std::size_t(1000)}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            const Framed framed = Frame(c.stream, piece);
            EXPECT_EQ(framed.replies, c.replies);
            EXPECT_EQ(framed.pending, c.pending);
        }
    }
}

}  // namespace
