#pragma once
// Off Windows the string resources come from tables generated at build time from the same
// resource scripts that windres compiles into the Windows programs. Each generated table
// registers itself while the program starts. Everything here is inline, so that a generated
// table needs nothing from the libraries wherever it lands on the link line.
#include <cstddef>
#include <map>
#include <mutex>

namespace platform::posix {

struct StringResource {
    unsigned id;
    const wchar_t* text;
};

struct StringResources {
    std::mutex lock;
    std::map<unsigned, const wchar_t*> texts;
};

// Built on first use, so that tables registering during static start-up always find it.
inline StringResources& ProgramStrings() {
    static StringResources resources;
    return resources;
}

struct StringTableRegistration {
    StringTableRegistration(const StringResource* entries, std::size_t count) {
        StringResources& resources = ProgramStrings();
        std::lock_guard guard(resources.lock);
        for (std::size_t i = 0; i < count; ++i) resources.texts.emplace(entries[i].id, entries[i].text);
    }
};

}  // namespace platform::posix
