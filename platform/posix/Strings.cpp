#include "platform/Strings.h"

#include "platform/posix/StringTable.h"

namespace platform {

std::wstring LoadText(unsigned id) {
    posix::StringResources& resources = posix::ProgramStrings();
    std::lock_guard guard(resources.lock);
    auto found = resources.texts.find(id);
    return found == resources.texts.end() ? std::wstring() : std::wstring(found->second);
}

}  // namespace platform
