// Whether a module handle names a library the loader has loaded. Only such
// handles are followed (dlsym, dlinfo); anything else is refused as an
// invalid handle.
#pragma once

#include "platform/win32_linux.h"

namespace platform {

bool IsKnownModule(HMODULE module);

}  // namespace platform
