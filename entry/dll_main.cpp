// Attach and detach notifications of the plug-in library. Attaching always
// succeeds, even when the resource library cannot be loaded: the entry point
// then answers every command with StatusNoResources.
#include "entry/entry_point.h"

#ifdef _WIN32

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) PluginProcessAttach(instance);
    if (reason == DLL_PROCESS_DETACH) PluginProcessDetach();
    return TRUE;
}

#else

namespace {

HMODULE OwnModule() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&PluginProcessAttach), &self);
    return self;
}

__attribute__((constructor)) void OnLibraryLoad() { PluginProcessAttach(OwnModule()); }
__attribute__((destructor)) void OnLibraryUnload() { PluginProcessDetach(); }

}  // namespace

#endif
