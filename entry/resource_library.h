// The companion resource library, loaded from the plug-in's own directory.
#pragma once

#include "base/status.h"
#include "platform/win32.h"

#ifdef _WIN32
inline constexpr const char kResourceLibraryName[] = "Vizazira.dll";
#else
inline constexpr const char kResourceLibraryName[] = "Vizazira.so";
#endif

// Loads the resource library beside `pluginModule`. StatusNoResources when
// the module's name cannot be read or the library does not load.
PluginStatus LoadResourceLibrary(HMODULE pluginModule);
void FreeResourceLibrary();
