// Thread handles for CloseHandle, which serves files and threads alike.
#pragma once

#include "platform/win32_linux.h"

namespace platform {

bool IsThreadHandle(HANDLE handle);
// Closes a thread's handle; the thread, if still running, goes on.
BOOL CloseThreadHandle(HANDLE handle);

}  // namespace platform
