#include "entry/command_dispatch.h"

#include <cstring>

#include "entry/multi_tiff_plugin.h"

namespace {

// Commands that read the host's ScanImage record.
bool ReadsScanImage(int16_t command) {
    switch (command) {
        case CmdPreparePage:
        case CmdWritePalette:
        case CmdBeginPage:
        case CmdWriteBand: return true;
        default: return false;
    }
}

// The plug-in's key is the host's key path, "\" and "ZEDUZ-ORID" in 259
// characters: a longer path would leave the job with no state at all, its
// page files made and never found again.
constexpr size_t kLongestKeyPath = 248;

bool KeyPathUsable(const PluginRequest* request) {
    const char* path = request->stateKey.stateKeyPath;
    return strnlen(path, sizeof(request->stateKey.stateKeyPath)) <= kLongestKeyPath;
}

bool RequestUsable(int16_t command, const PluginRequest* request) {
    if (request == nullptr || request->target == nullptr || !KeyPathUsable(request)) return false;
    return !ReadsScanImage(command) || request->target->image != nullptr;
}

PluginStatus Dispatch(MultiTiffPlugin& plugin, int16_t command) {
    PluginBase& slots = plugin;  // commands 1 to 6 of the table go through the virtual slots
    switch (command) {
        case CmdInitialize: return slots.Initialize();
        case CmdSettings: return slots.ShowSettings();
        case CmdPreparePage: return plugin.PreparePage();
        case CmdWritePalette: return slots.WritePalette();
        case CmdBeginPage: return slots.BeginPage();
        case CmdWriteBand: return slots.WriteBand();
        case CmdEndPage: return plugin.EndPage();
        case CmdEndJob: return plugin.EndJob();
        case CmdAbout: return slots.ShowAbout();
        default: return StatusUnknownCommand;
    }
}

}  // namespace

PluginStatus RunCommand(MultiTiffPlugin& plugin, int16_t command, PluginRequest* request) {
    if (command < CmdInitialize || command > CmdAbout) return StatusUnknownCommand;
    if (!RequestUsable(command, request)) return StatusBadRecord;

    plugin.BindRequest(request);
    PluginStatus status = Dispatch(plugin, command);
    plugin.ReleaseState();
    return status;
}
