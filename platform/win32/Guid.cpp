#include "platform/Guid.h"

#include <cstring>

#include <objbase.h>

namespace platform {

GuidBytes NewGuid() {
    GUID guid;
    const HRESULT result = ::CoCreateGuid(&guid);
    if (FAILED(result)) throw static_cast<int>(result);
    GuidBytes bytes;
    static_assert(sizeof(guid) == bytes.size());
    std::memcpy(bytes.data(), &guid, bytes.size());
    return bytes;
}

}  // namespace platform
