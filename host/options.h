// The command line of the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/settings.h"

// Scanning through SANE instead of reading files.
struct ScanOptions {
    bool scan = false;                       // --scan
    std::string device;                      // empty: the first device SANE sees
    bool batch = false;                      // every sheet of the feeder
    std::string source;                      // the device's own words; empty: as it is
    std::string mode;                        // "Lineart", "Gray", "Color", ...
    std::string depth;                       // bits per sample
    std::vector<std::string> deviceOptions;  // NAME=VALUE, in order
};

struct HostOptions {
    std::vector<std::string> inputs;  // none: the built-in demo document
    std::string output;               // empty until defaulted
    UserSettings settings;            // this run's; stored only with --save-settings
    bool saveSettings = false;        // --save-settings
    uint32_t bandRows = UINT32_MAX;   // 0: each page in one band; UINT32_MAX: chosen per page
    uint32_t announceRows = 0;        // 0: announce each page's own height
    uint32_t xResolution = 300;
    uint32_t yResolution = 300;
    bool resolutionGiven = false;  // --dpi or --resolution: a scanner is set to it
    ScanOptions scan;
    bool listScanners = false;
    bool append = false;
    bool palette4WhenSmall = false;
    bool quiet = false;
    bool help = false;
    bool version = false;    // --version
    std::string pluginPath;  // empty: beside the host
};

// Parses argv (with CLI11); false with `error` set on a bad command line.
// --help sets `help`.
bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error);

// The text of --help: the options in groups by purpose.
std::string UsageText(const char* program);
