// Argument checks and error mapping shared by the path-based file services.
#pragma once

#include <string>

#include "platform/win32_linux.h"

namespace platform {

// A usable ANSI path: not null, not empty, at most MAX_PATH - 1 characters
// as on Windows. Otherwise sets the Windows error and returns false.
bool CheckPath(const char* path);

// errno of a failed path operation as Windows reports it: a missing parent
// directory is ERROR_PATH_NOT_FOUND, a missing file ERROR_FILE_NOT_FOUND.
DWORD PathError(const char* path, int error);

// The directory part of `path` ("." when it has none), without the slash.
std::string DirectoryOf(const std::string& path);

// Makes a rename or creation in `directory` durable.
void SyncDirectory(const std::string& directory);

}  // namespace platform
