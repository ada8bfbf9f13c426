#include "Orvane/engine/tasks/ExceptionCode.h"

#include <new>

#include "platform/ErrorCodes.h"

int CurrentExceptionCode() noexcept {
    try {
        throw;
    } catch (int code) {
        return code;
    } catch (const std::bad_alloc&) {
        return platform::kErrorNotEnoughMemory;
    } catch (...) {
        return platform::kErrorInternal;
    }
}
