#include "platform/DebugOutput.h"

#include <unistd.h>

#include <cerrno>

#include "platform/posix/Utf8.h"

namespace platform {

// One write per call, so that texts from several threads do not interleave within a line.
void WriteDebugOutput(std::wstring_view text) {
    std::string bytes = posix::ToUtf8(text);
    std::string_view left = bytes;
    while (!left.empty()) {
        ssize_t written = ::write(STDERR_FILENO, left.data(), left.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;  // nobody to tell
        left.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace platform
