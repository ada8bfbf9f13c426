#pragma once
// errno values in the numbers the engine reports on Windows.
namespace platform::posix {

// For socket calls: the Winsock number (ECONNREFUSED -> 10061 WSAECONNREFUSED, ...).
int WinsockErrorFromErrno(int error);

// For file and other kernel calls: the Windows system error (ENOENT -> 2, EACCES -> 5, ...).
int WindowsErrorFromErrno(int error);

}  // namespace platform::posix
