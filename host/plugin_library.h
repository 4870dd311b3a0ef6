// The plug-in library, loaded at run time by path, and its one entry point.
#pragma once

#include <string>

#include "entry/host_records.h"

class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Loads the library and finds ZUVadeZoduv. On failure returns false and
    // sets `error` to a message for the user.
    bool Load(const std::string& path, std::string& error);

    // Calls the entry point; returns the status (low 16 bits of the result).
    uint16_t Call(int32_t command, PluginRequest& request) const;

    // The version the loaded library carries ("1.0.0": the DLL's version
    // resource, the Linux library's version note); empty when it has none.
    std::string Version() const;

private:
    void* handle_ = nullptr;
    ZUVadeZoduvFunction entry_ = nullptr;
};

// The plug-in beside the host executable (libzeduztiff.so, ZeduzTiff.dll);
// on Linux, where there is none, the installed one, in its folder relative
// to the program's (ZEDUZ_PLUGIN_DIR_FROM_PROGRAM: bin/ -> lib/.../zeduz/).
std::string DefaultPluginPath();
