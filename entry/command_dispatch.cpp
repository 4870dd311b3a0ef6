#include "entry/command_dispatch.h"

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

bool RequestUsable(int16_t command, const PluginRequest* request) {
    if (request == nullptr || request->target == nullptr) return false;
    return !ReadsScanImage(command) || request->target->image != nullptr;
}

}  // namespace

PluginStatus RunCommand(MultiTiffPlugin& plugin, int16_t command, PluginRequest* request) {
    if (command < CmdInitialize || command > CmdAbout) return StatusUnknownCommand;
    if (!RequestUsable(command, request)) return StatusBadRecord;

    plugin.BindRequest(request);
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
