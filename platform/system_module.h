// The stand-in for the system library "KERNEL32.DLL": a pseudo module whose
// exports are looked up by name, as callers do for optional services.
#pragma once

#include "platform/win32_linux.h"

namespace platform {

HMODULE SystemModule();
bool IsSystemModuleName(const char* name);
// nullptr with ERROR_PROC_NOT_FOUND when the service is not offered.
FARPROC SystemModuleExport(const char* name);

}  // namespace platform
