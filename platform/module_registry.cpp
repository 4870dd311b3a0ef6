// Module handles are the loader's link-map entries; a handle is known when it
// is one of the entries of the loader's list. Keeping no list of our own
// means nothing to free when the plug-in is unloaded.
#include "platform/module_registry.h"

#include <link.h>

namespace platform {

bool IsKnownModule(HMODULE module) {
    if (module == nullptr) return false;
    for (const link_map* map = _r_debug.r_map; map != nullptr; map = map->l_next) {
        if (static_cast<const void*>(map) == static_cast<const void*>(module)) return true;
    }
    return false;
}

}  // namespace platform
