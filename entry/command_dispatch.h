// The command table: which operation of the plug-in object each command runs.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "entry/host_records.h"

class MultiTiffPlugin;

// Binds the request to the plug-in and runs the operation of `command`.
// Unknown commands give StatusUnknownCommand without binding the request;
// a request the command cannot use gives StatusBadRecord.
PluginStatus RunCommand(MultiTiffPlugin& plugin, int16_t command, PluginRequest* request);
