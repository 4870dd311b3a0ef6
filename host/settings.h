// The user's choices of byte order and of the compression of black-and-white
// and of all other pages, stored
// where the plug-in reads them, as its settings dialog would store them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/setting_values.h"

// The registry key (below HKEY_CURRENT_USER) that the host names in every
// request, and the plug-in's subkey below it.
constexpr char kStateKeyPath[] = "Software\\Zeduz\\Scan";
constexpr char kPluginSubkey[] = "ZEDUZ-ORID";

// Unset choices keep what the registry holds from earlier runs.
struct UserSettings {
    std::optional<uint32_t> byteOrder;         // "File Type"
    std::optional<uint32_t> compression;       // "Compression"
    std::optional<uint32_t> colorCompression;  // "Color Compression"
};

// Writes the set choices; false with `error` set when the registry refuses.
bool StoreUserSettings(const UserSettings& settings, std::string& error);
