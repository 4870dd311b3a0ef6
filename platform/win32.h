// platform/: beneath everything on Linux. Our own stand-ins for the Windows
// services the plug-in calls (files, registry on SQLite, global memory,
// modules and resources, dialogs and message boxes), real implementations
// rather than mocks; test builds add fault injection to them.
//
// The Windows services the plug-in calls, under their Windows names.
//
// On Windows this is <windows.h> itself. On Linux the same names are declared
// by our own stand-ins (platform/win32_linux.h), so every layer above is one
// source for both platforms.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "platform/win32_linux.h"
#endif
