// The user's choices of byte order and of the compression of black-and-white
// and of all other pages. The user's stored settings (what the settings
// dialog and --save-settings store) are the defaults of every run; the
// options of a run apply to that run only. Before a job, the settings it
// uses are written into the job's own key, where the plug-in reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/setting_values.h"

#include "state/state_store.h"

// The registry key (below HKEY_CURRENT_USER) of the user's stored settings,
// and the plug-in's subkey below it and below every job's key (the names of
// the values there are the plug-in's own: state/state_store.h).
constexpr char kStateKeyPath[] = "Software\\Zeduz\\Scan";
constexpr const char* kPluginSubkey = value_names::kSubkey;

// Unset choices: the stored settings, else the plug-in's defaults.
struct UserSettings {
    std::optional<uint32_t> byteOrder;         // "File Type"
    std::optional<uint32_t> compression;       // "Compression"
    std::optional<uint32_t> colorCompression;  // "Color Compression"
    std::optional<uint32_t> jpegQuality;       // "JPEG Quality": written only when given or stored
    std::optional<uint32_t> fileKind;          // "BigTIFF"
};

// Stores the set choices as the user's settings; false with `error` set when
// the registry refuses.
bool SaveUserSettings(const UserSettings& settings, std::string& error);

// Writes the settings of this run (the given ones over the stored ones over
// the defaults) into the job's key `jobKeyPath`; false with `error` set.
bool WriteJobSettings(const std::string& jobKeyPath, const UserSettings& given, std::string& error);

// Removes the job's key and its plug-in subkey, once the job needs nothing
// of them any more.
void DeleteJobKey(const std::string& jobKeyPath);
