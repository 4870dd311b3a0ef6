// Process handles for CloseHandle, which serves files, threads and processes.
#pragma once

#include "platform/win32_linux.h"

namespace platform {

bool IsProcessHandle(HANDLE handle);
BOOL CloseProcessHandle(HANDLE handle);

}  // namespace platform
