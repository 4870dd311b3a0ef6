// ui/: what the user sees: the settings and About dialogs, the one-line
// summary of the settings given to the host, and every text, all loaded from
// the resource library, whose one source is resources/Vizazira.rc.
//
// Texts from the resource library, by identifier.
#pragma once

#include "platform/win32.h"

// The loaded resource library, or nullptr when it could not be loaded.
HMODULE ResourceModule();
void SetResourceModule(HMODULE module);

// Copies string `id` into `buffer` (at most size - 1 characters, always
// terminated). Returns the number of characters copied; 0 and an empty
// buffer when the string is missing.
int LoadResourceString(UINT id, char* buffer, int size);

// Loads string `id` and splits it in place at commas into at most maxFields
// fields; the last field keeps the rest verbatim, and '$' in earlier fields
// becomes ','. Fields not found are set to the empty string at the end of
// the buffer. Returns the number of fields found.
int SplitResourceString(UINT id, int maxFields, char* buffer, int size, char** fields);
