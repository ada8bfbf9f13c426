#include "platform/Registry.h"
#include "platform/memory/MemoryRegistry.h"

namespace platform {

// No registry here: one in-memory tree for the whole process, which tests fill and clear.
Registry& SystemRegistry() {
    static MemoryRegistry registry;
    return registry;
}

}  // namespace platform
