// The output file as the plug-in expects it: a full path.
#pragma once

#include <string>

// The full path of `path` (relative paths are taken from the current
// directory). Empty when it cannot be formed or is longer than 259 characters.
std::string FullOutputPath(const std::string& path);

bool FileExists(const std::string& path);
