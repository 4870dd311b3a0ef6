// The user's choices of byte order and black-and-white compression, stored
// where the plug-in reads them, as its settings dialog would store them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The registry key (below HKEY_CURRENT_USER) that the host names in every
// request, and the plug-in's subkey below it.
constexpr char kStateKeyPath[] = "Software\\Zeduz\\Scan";
constexpr char kPluginSubkey[] = "ZEDUZ-ORID";

constexpr uint32_t kByteOrderIntel = 18761;     // "II"
constexpr uint32_t kByteOrderMotorola = 19789;  // "MM"
constexpr uint32_t kCompressionNone = 1;
constexpr uint32_t kCompressionGroup4 = 4;

// Unset choices keep what the registry holds from earlier runs.
struct UserSettings {
    std::optional<uint32_t> byteOrder;    // "File Type"
    std::optional<uint32_t> compression;  // "Compression"
};

// Writes the set choices; false with `error` set when the registry refuses.
bool StoreUserSettings(const UserSettings& settings, std::string& error);
