// entry/: where a host's call comes in. The one exported entry point takes a
// command and the host's records, binds them to the plug-in object, and
// dispatches to that object's operations (prepare, begin, palette, band, end
// of a page, end of the job, the dialogs); the page operations run the page
// engine (page/), which decides with tiff/ what bytes a page is, hands them
// to output/, and keeps the job in state/.
// Statuses go back to the host, with a message box where the user must act.
//
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
