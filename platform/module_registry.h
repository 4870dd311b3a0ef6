// Module handles handed out by the module services. Only those are followed
// (dlsym, dlinfo); anything else is refused as an invalid handle.
#pragma once

#include "platform/win32_linux.h"

namespace platform {

void RememberModule(HMODULE module);
// Called once the module is unloaded.
void ForgetModule(HMODULE module);
bool IsKnownModule(HMODULE module);

}  // namespace platform
