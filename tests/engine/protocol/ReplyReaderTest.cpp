#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Orvane/engine/protocol/FTPReplyReader.h"

namespace {

using Status = CFTPReplyReader::Status;

// Feeds `stream` in pieces of `piece` bytes and collects every reply the reader completes.
struct Framed {
    std::vector<std::string> replies;
    std::string pending;
    bool tooLong = false;
};

Framed Frame(const std::string& stream, std::size_t piece) {
    CFTPReplyReader reader;
    Framed framed;
    for (std::size_t at = 0; at < stream.size() && !framed.tooLong; at += piece) {
        reader.Append(std::string_view(stream).substr(at, piece));
        std::string reply;
        for (Status status; (status = reader.Next(reply)) != Status::NeedMore;) {
            if (status == Status::TooLong) {
                framed.tooLong = true;
                break;
            }
            framed.replies.push_back(reply);
        }
    }
    framed.pending = std::string(reader.Pending());
    return framed;
}

// ---- framing ------------------------------------------------------------------------------

TEST(ReplyReader, FramesRepliesAlikeWhateverTheSegmentSizes) {
    struct Case {
        const char* name;
        std::string stream;
        std::vector<std::string> replies;
        std::string pending;
    };
    const std::vector<Case> cases = {
        {"one line", "220 ready\r\n", {"220 ready\r\n"}, ""},
        {"two replies back to back", "331 pass\r\n230 in\r\n", {"331 pass\r\n", "230 in\r\n"}, ""},
        {"an unfinished line waits", "220 rea", {}, "220 rea"},
        {"bytes past a reply stay", "220 ok\r\n331 pa", {"220 ok\r\n"}, "331 pa"},
        {"multi-line", "230-Welcome\r\n230-more\r\n230 done\r\n", {"230-Welcome\r\n230-more\r\n230 done\r\n"}, ""},
        {"multi-line waits for its closing line", "230-Welcome\r\n230-more\r\n", {}, "230-Welcome\r\n230-more\r\n"},
        {"inner lines with other codes or none", "211-Features\r\n MDTM\r\n220 not the end\r\n211 End\r\n",
         {"211-Features\r\n MDTM\r\n220 not the end\r\n211 End\r\n"}, ""},
        {"a hyphen line with the same code does not close", "250-a\r\n250-b\r\n250 c\r\n", {"250-a\r\n250-b\r\n250 c\r\n"}, ""},
        {"closing line that is only the code", "250-a\r\n250\r\n", {"250-a\r\n250\r\n"}, ""},
        {"bare LF line ends", "220-hi\n220 there\n331 pass\n", {"220-hi\n220 there\n", "331 pass\n"}, ""},
        {"CR alone ends nothing", "220 a\r220 b\r", {}, "220 a\r220 b\r"},
        {"a line without a code is a reply of its own", "hello\r\n", {"hello\r\n"}, ""},
        {"a short first line", "22\r\n", {"22\r\n"}, ""},
        {"empty line", "\r\n", {"\r\n"}, ""},
    };
    for (const Case& c : cases) {
        for (std::size_t piece : {std::size_t(1), std::size_t(2), std::size_t(5), std::size_t(1000)}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            const Framed framed = Frame(c.stream, piece);
            EXPECT_FALSE(framed.tooLong);
            EXPECT_EQ(framed.replies, c.replies);
            EXPECT_EQ(framed.pending, c.pending);
        }
    }
}

TEST(ReplyReader, RefusesRepliesLongerThan64KiB) {
    const std::size_t limit = CFTPReplyReader::kMaxReplyBytes;
    // "230-" + filler + "\r\n" lines, closed by "230 end\r\n", making exactly `size` bytes.
    auto multiLine = [](std::size_t size) {
        const std::string close = "230 end\r\n";
        std::string reply;
        while (reply.size() + close.size() < size) {
            std::size_t line = std::min<std::size_t>(100, size - close.size() - reply.size());
            if (line < 7) line = size - close.size() - reply.size();
            reply += "230-" + std::string(line - 6, 'x') + "\r\n";
        }
        return reply + close;
    };
    ASSERT_EQ(multiLine(limit).size(), limit);

    EXPECT_EQ(Frame(multiLine(limit), 4096).replies.size(), 1u) << "a reply of exactly 64 KiB is accepted";
    EXPECT_TRUE(Frame(multiLine(limit + 1), 4096).tooLong) << "one byte more is refused";
    EXPECT_TRUE(Frame(multiLine(limit + 1), 100000).tooLong) << "also when it arrives in one piece";
    EXPECT_TRUE(Frame(std::string(limit, 'x'), 4096).tooLong) << "an endless line is refused at the limit";
    EXPECT_FALSE(Frame(std::string(limit - 1, 'x'), 4096).tooLong) << "below the limit it may still end";
}

TEST(ReplyReader, TakePendingEmptiesTheBufferAndStartsAfresh) {
    CFTPReplyReader reader;
    reader.Append("230-cut");
    std::string reply;
    ASSERT_EQ(reader.Next(reply), Status::NeedMore);
    EXPECT_EQ(reader.TakePending(), "230-cut");
    reader.Append("220 ok\r\n");
    ASSERT_EQ(reader.Next(reply), Status::Complete);
    EXPECT_EQ(reply, "220 ok\r\n");
}

// ---- records ------------------------------------------------------------------------------

TEST(ReplyReader, ReplyCodeReadsTheFirstThreeCharactersAsANumber) {
    struct Case {
        const char* line;
        int code;
    };
    const Case cases[] = {
        {"220 ready", 220}, {"331-challenge", 331}, {"99 x", 99},  {"2x0 odd", 2},
        {"abc", 0},         {"", 0},                {"-12 x", -12}, {" 21 x", 21},
        {"1234 long", 123}, {"+5x", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ReplyCode(c.line), c.code);
    }
}

TEST(ReplyReader, ReplyRecordKeepsTheLastLineGreetingKeepsAll) {
    const std::string multi = "230-Welcome\r\n230-Be nice\r\n230 Logged in\r\n";
    const FTPReply reply = ParseReply(multi);
    EXPECT_EQ(reply.code, 230);
    EXPECT_EQ(reply.text, L"230 Logged in\r\n");

    const FTPReply greeting = ParseGreeting("220-Hello\r\n221 odd last code\r\n");
    EXPECT_EQ(greeting.code, 220);
    EXPECT_EQ(greeting.text, L"220-Hello\r\n221 odd last code\r\n");

    EXPECT_EQ(ParseReply("257 \"caf\xe9\" created\n").text, L"257 \"caf\u00e9\" created\n")
        << "replies are read in the ANSI code page";
}

}  // namespace
