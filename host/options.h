// The command line of the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/settings.h"

struct HostOptions {
    std::vector<std::string> inputs;  // none: the built-in demo document
    std::string output;               // empty until defaulted
    UserSettings settings;
    uint32_t bandRows = 64;     // 0: each page in one band
    uint32_t announceRows = 0;  // 0: announce each page's own height
    uint32_t xResolution = 300;
    uint32_t yResolution = 300;
    bool append = false;
    bool palette4WhenSmall = false;
    bool quiet = false;
    bool help = false;
    std::string pluginPath;  // empty: beside the host
};

// Parses argv (with CLI11); false with `error` set on a bad command line.
// --help sets `help`.
bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error);

// The text of --help: the options in groups by purpose.
std::string UsageText(const char* program);
