// Pages straight from a scanner through SANE (Linux only): the device is set
// up from the command line, then each sheet is started, its frame mapped to
// a page layout, and its rows handed to the job band by band as sane_read
// delivers them, never the whole page in memory.
#pragma once

#include <cstdint>
#include <string>

#include "host/options.h"
#include "host/page_source.h"
#include "host/sane_scanner.h"

// Prints the devices SANE sees, one a line; returns the exit status.
int ListScanners();

// Sets the device's options from the command line: source, mode and depth
// first (they decide which other options are active), then resolution, then
// every --scan-option in order. Throws InputError naming the option and what
// the device offers.
void ApplyScanSettings(SaneDevice& device, const HostOptions& options);

// The resolution the device scans at, for the page's resolution tags; false
// when the device does not say.
bool ScanResolution(const SaneDevice& device, uint32_t& x, uint32_t& y);

class ScanSource final : public PageSequence {
public:
    // batch: every sheet of the feeder until it is empty; else one page.
    ScanSource(SaneDevice& device, bool batch);

    // Throws PageFault when the scanner fails, the user interrupts (Ctrl-C)
    // or a frame cannot become a page: the page under way is lost, those
    // before it are kept.
    bool ForEachPage(const WritePage& write) const override;

private:
    SaneDevice& device_;
    bool batch_;
};
