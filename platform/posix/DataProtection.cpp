#include "platform/DataProtection.h"
#include "platform/memory/ScrambleProtection.h"

namespace platform {

// No data-protection API here; the stand-in keeps the store's code paths the same.
DataProtection& SystemDataProtection() {
    static ScrambleProtection protection;
    return protection;
}

}  // namespace platform
