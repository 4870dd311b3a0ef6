// The "KERNEL32.DLL" pseudo module and its exports looked up by name.
#include "platform/system_module.h"

#include <strings.h>

#include <cstring>

#include "platform/fault_hooks.h"

namespace {

// Any address unique to this module serves as its handle; it is never
// dereferenced and never a real library handle.
char systemModuleTag;

// Through the generic function pointer type, which converts to any other.
template <typename Function>
FARPROC AsFarProc(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

namespace platform {

HMODULE SystemModule() { return reinterpret_cast<HMODULE>(&systemModuleTag); }

bool IsSystemModuleName(const char* name) {
    return strcasecmp(name, "KERNEL32.DLL") == 0 || strcasecmp(name, "KERNEL32") == 0;
}

FARPROC SystemModuleExport(const char* name) {
    if (name != nullptr && strcmp(name, "GetDiskFreeSpaceExA") == 0 && hooks::ExtendedFreeSpaceQueryAvailable()) {
        return AsFarProc(&GetDiskFreeSpaceExA);
    }
    if (name != nullptr && strcmp(name, "GetDiskFreeSpaceA") == 0) {
        return AsFarProc(&GetDiskFreeSpaceA);
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

}  // namespace platform
