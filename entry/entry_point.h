// The exported entry point and the library's attach and detach handling.
#pragma once

#include <cstdint>

#include "entry/host_records.h"
#include "platform/win32.h"

extern "C" uint32_t ZEDUZ_CDECL ZUVadeZoduv(int32_t command, PluginRequest* request);

// Process attach: records the module and loads the resource library beside it.
void PluginProcessAttach(HMODULE self);
// Process detach: destroys the plug-in object, releases the resource library.
void PluginProcessDetach();
