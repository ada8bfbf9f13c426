#include "platform/posix/ErrnoMapping.h"

#include <cerrno>

#include "platform/ErrorCodes.h"

namespace platform::posix {

int WinsockErrorFromErrno(int error) {
    switch (error) {
    case EINTR: return 10004;                          // WSAEINTR
    case EBADF: case ENOTSOCK: return 10038;           // WSAENOTSOCK
    case EACCES: case EPERM: return 10013;             // WSAEACCES
    case EFAULT: return 10014;                         // WSAEFAULT
    case EINVAL: return 10022;                         // WSAEINVAL
    case EMFILE: case ENFILE: return 10024;            // WSAEMFILE
    case EAGAIN: return 10035;                         // WSAEWOULDBLOCK (EWOULDBLOCK is the same)
    case EINPROGRESS: return 10036;                    // WSAEINPROGRESS
    case EALREADY: return 10037;                       // WSAEALREADY
    case EMSGSIZE: return 10040;                       // WSAEMSGSIZE
    case EPROTONOSUPPORT: return 10043;                // WSAEPROTONOSUPPORT
    case EOPNOTSUPP: return 10045;                     // WSAEOPNOTSUPP
    case EAFNOSUPPORT: return 10047;                   // WSAEAFNOSUPPORT
    case EADDRINUSE: return 10048;                     // WSAEADDRINUSE
    case EADDRNOTAVAIL: return 10049;                  // WSAEADDRNOTAVAIL
    case ENETDOWN: return kErrorNetworkDown;
    case ENETUNREACH: return kErrorNetworkUnreachable;
    case ENETRESET: return kErrorNetworkReset;
    case ECONNABORTED: return kErrorConnectionAborted;
    // Linux reports a send after the peer's reset as EPIPE; Windows calls both a reset.
    case ECONNRESET: case EPIPE: return kErrorConnectionReset;
    case ENOBUFS: case ENOMEM: return 10055;           // WSAENOBUFS
    case EISCONN: return 10056;                        // WSAEISCONN
    case ENOTCONN: return kErrorNotConnected;
    case ESHUTDOWN: return 10058;                      // WSAESHUTDOWN
    case ETIMEDOUT: return kErrorTimedOut;
    case ECONNREFUSED: return kErrorConnectionRefused;
    case EHOSTDOWN: return kErrorHostDown;
    case EHOSTUNREACH: return kErrorHostUnreachable;
    default: return 10107;                             // WSASYSCALLFAILURE: nothing closer
    }
}

int WindowsErrorFromErrno(int error) {
    switch (error) {
    case ENOENT: return kErrorFileNotFound;            // callers tell a missing folder apart
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES: case EPERM: case EISDIR: return kErrorAccessDenied;
    case EMFILE: case ENFILE: return 4;                // ERROR_TOO_MANY_OPEN_FILES
    case EBADF: return 6;                              // ERROR_INVALID_HANDLE
    case ENOMEM: return 8;                             // ERROR_NOT_ENOUGH_MEMORY
    case EROFS: return 19;                             // ERROR_WRITE_PROTECT
    case EAGAIN: case EBUSY: case ETXTBSY: return kErrorSharingViolation;
    case EEXIST: return 80;                            // ERROR_FILE_EXISTS
    case EINVAL: return kErrorInvalidParameter;
    case ENOSPC: case EDQUOT: return 112;              // ERROR_DISK_FULL
    case ENAMETOOLONG: return 206;                     // ERROR_FILENAME_EXCED_RANGE
    case EFBIG: return 223;                            // ERROR_FILE_TOO_LARGE
    case EIO: return 1117;                             // ERROR_IO_DEVICE
    case ELOOP: return 1921;                           // ERROR_CANT_RESOLVE_FILENAME
    default: return 31;                                // ERROR_GEN_FAILURE
    }
}

}  // namespace platform::posix
