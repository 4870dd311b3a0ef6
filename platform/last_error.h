// The calling thread's last Windows error, and the translation of POSIX
// errors into the Windows codes callers test for.
#pragma once

#include "platform/win32_linux.h"

namespace platform {

DWORD WindowsErrorFromErrno(int error);
// Sets the last error from errno-style `error` and returns FALSE, so that a
// failing service can end with `return FailWithErrno(errno);`.
BOOL FailWithErrno(int error);
// Sets the last error and returns FALSE.
BOOL FailWith(DWORD error);

}  // namespace platform
