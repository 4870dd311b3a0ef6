#include "entry/entry_point.h"

#include "entry/command_dispatch.h"
#include "entry/multi_tiff_plugin.h"
#include "entry/object_allocation.h"
#include "entry/resource_library.h"
#include "entry/status_message.h"
#include "ui/resource_strings.h"

namespace {

HMODULE g_module = nullptr;
MultiTiffPlugin* g_plugin = nullptr;

HWND OwnerWindow(const PluginRequest* request) {
    return request != nullptr ? static_cast<HWND>(request->parentWindow) : nullptr;
}

}  // namespace

extern "C" uint32_t ZEDUZ_CDECL ZUVadeZoduv(int32_t command, PluginRequest* request) {
    if (ResourceModule() == nullptr) return StatusNoResources;

    if (g_plugin == nullptr) {
        g_plugin = NewObject<MultiTiffPlugin>();
        if (g_plugin == nullptr) {
            ShowStatusMessage(OwnerWindow(request), StatusNoMemory);
            return StatusNoMemory;
        }
    }

    // Only the low 16 bits of the command count, as a signed number.
    auto code = static_cast<int16_t>(static_cast<uint32_t>(command) & 0xFFFFu);
    g_plugin->ClearFailureNote();
    PluginStatus status = RunCommand(*g_plugin, code, request);
    ShowStatusMessage(OwnerWindow(request), status, &g_plugin->fullVolume(), g_plugin->failureNote());
    return status;
}

void PluginProcessAttach(HMODULE self) {
    g_module = self;
    g_plugin = nullptr;
    LoadResourceLibrary(self);
}

void PluginProcessDetach() {
    delete g_plugin;
    g_plugin = nullptr;
    FreeResourceLibrary();
}
