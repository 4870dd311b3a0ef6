// host/: the command-line host, zeduz-tiff. It reads images (PNM, PNG) or
// the built-in demo page, lays their rows out as a scanning application
// would, and drives the plug-in through its entry point page by page and
// band by band; options.cpp holds its command line.
//
// Drives the plug-in through a job exactly as a scanning application does:
// CmdInitialize once; per page CmdPreparePage, CmdBeginPage, CmdWritePalette
// (palette pages), CmdWriteBand per band, CmdEndPage; CmdEndJob at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "entry/host_records.h"
#include "host/format_mapping.h"
#include "host/page_rows.h"
#include "host/plugin_library.h"
#include "host/progress.h"
#include "host/scan_layout.h"

struct JobFailure {
    const char* command = "";  // "CmdBeginPage", ...
    uint16_t status = 0;
};

// Rows per band when none are chosen: about 1 MiB of rows in a whole number
// of 16 rows, at least 64 (see DefaultBandRows).
inline constexpr uint32_t kAutomaticBandRows = UINT32_MAX;

struct PageDelivery {
    uint32_t bandRows = kAutomaticBandRows;  // 0: the whole page in one band
    uint32_t announcedRows = 0;              // rows announced at CmdBeginPage; 0: the page's own height
    uint32_t xResolution = 300;
    uint32_t yResolution = 300;
};

class JobDriver {
public:
    // outputPath: the full path of the output file; stateKeyPath: the job's
    // registry key below HKEY_CURRENT_USER.
    JobDriver(const PluginLibrary& plugin, Progress& progress, const std::string& outputPath,
              const std::string& stateKeyPath);

    // CmdInitialize; fills in the texts the plug-in provides. False with
    // `failure` set when the plug-in cannot work (no resource library).
    bool Initialize(std::string& formatName, std::string& settingsText, JobFailure& failure);

    // Writes one page, its rows read band by band from `rows`. continueFile:
    // add to the current (or existing) file rather than start a new one.
    // False with `failure` set when a command failed; the page is then
    // abandoned, as it is when `rows` throws (no CmdEndPage follows).
    bool WritePage(const ScanPage& page, PageRows& rows, bool continueFile, const PageDelivery& geometry,
                   JobFailure& failure);

    // CmdEndJob; called once at the end, also after a failure.
    uint16_t EndJob();

private:
    bool Run(int32_t command, const char* name, JobFailure& failure);
    void DescribeLayout(const ScanPage& page, bool continueFile);
    bool WritePalette(const ScanPage& page, JobFailure& failure);
    bool WriteBands(const ScanPage& page, PageRows& rows, uint32_t bandRows, JobFailure& failure);
    bool WriteBandsUntilEnd(const ScanPage& page, PageRows& rows, uint32_t bandRows, JobFailure& failure);
    bool WriteBand(const ScanPage& page, const BandBuffer& band, uint32_t rowCount, JobFailure& failure);

    const PluginLibrary& plugin_;
    Progress& progress_;
    PluginRequest request_{};
    TargetFile target_{};
    ScanImage image_{};
};
