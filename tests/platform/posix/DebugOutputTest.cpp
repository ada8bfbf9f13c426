#include "platform/DebugOutput.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>

namespace {

// Standard error stands in for the debugger here; what lands there must be UTF-8, whatever
// the C locale of the process is.
TEST(DebugOutput, WritesTheTextAsUtf8ToStandardError) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    int savedError = ::dup(STDERR_FILENO);
    ::dup2(pipeEnds[1], STDERR_FILENO);
    platform::WriteDebugOutput(L"caf\u00E9 \u4E2D \U0001F600\r\n");
    ::dup2(savedError, STDERR_FILENO);
    ::close(savedError);
    ::close(pipeEnds[1]);
    std::string got(256, '\0');
    got.resize(static_cast<std::size_t>(std::max<ssize_t>(::read(pipeEnds[0], got.data(), got.size()), 0)));
    ::close(pipeEnds[0]);
    EXPECT_EQ(got, "caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80\r\n");
}

}  // namespace
