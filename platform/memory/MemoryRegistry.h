#pragma once
#include <memory>

#include "platform/Registry.h"

namespace platform {

// A registry held in memory, one tree per hive, that behaves like the real one where callers can
// tell: names compare without regard to case and keep the case they were created with, subkeys
// enumerate sorted without regard to case, values in the order they were first written, a handle
// outlives the deletion of its key (everything on it then fails), and key names are at most 255
// characters. Every operation takes one lock, so handles may be used from any thread.
class MemoryRegistry final : public Registry {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;
    MemoryRegistry(const MemoryRegistry&) = delete;
    MemoryRegistry& operator=(const MemoryRegistry&) = delete;

    std::unique_ptr<RegistryKey> Root(Hive hive) override;

    // A hive that is not writable behaves like the machine's hive for a standard user: existing
    // keys open for reading, and nothing can be opened for writing, created, written or deleted.
    void SetWritable(Hive hive, bool writable);
    // Empties every hive; handles still open see their keys as deleted.
    void Clear();

    struct State;

private:
    std::shared_ptr<State> m_state;
};

}  // namespace platform
