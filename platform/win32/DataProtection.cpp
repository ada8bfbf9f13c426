#include "platform/DataProtection.h"

#include "platform/win32/DpapiProtection.h"

namespace platform {

DataProtection& SystemDataProtection() {
    static win32::DpapiProtection protection;
    return protection;
}

}  // namespace platform
