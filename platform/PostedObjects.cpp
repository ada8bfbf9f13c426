// The list of posted objects that no window has adopted yet (platform/Window.h). Progress reports
// pass through here once per 8 KiB chunk, so it is one hash table under one lock, held for a
// single insert or erase.
#include <mutex>
#include <unordered_map>

#include "platform/Window.h"

namespace platform::posted {

namespace {

struct InFlight {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, const void*> objects;  // disguised address -> type
};

InFlight& List() {
    static InFlight* list = new InFlight;  // never destroyed: posts may come from threads that outlive main
    return *list;
}

// Kept inverted, so that the leak checker still counts an object that nobody adopted as lost.
std::uintptr_t Disguise(std::uintptr_t address) { return ~address; }

}  // namespace

void Enter(const void* object, const void* type) {
    if (!object) return;
    InFlight& list = List();
    std::lock_guard guard(list.lock);
    list.objects[Disguise(reinterpret_cast<std::uintptr_t>(object))] = type;
}

void Withdraw(const void* object) {
    if (!object) return;
    InFlight& list = List();
    std::lock_guard guard(list.lock);
    list.objects.erase(Disguise(reinterpret_cast<std::uintptr_t>(object)));
}

void* Take(std::uintptr_t parameter, const void* type) {
    if (parameter == 0) return nullptr;
    InFlight& list = List();
    std::lock_guard guard(list.lock);
    const auto found = list.objects.find(Disguise(parameter));
    if (found == list.objects.end() || found->second != type) return nullptr;
    list.objects.erase(found);
    return reinterpret_cast<void*>(parameter);
}

}  // namespace platform::posted
