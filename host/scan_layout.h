// Pixel memory laid out exactly as a scanning host hands it over: bands of
// rows, rows padded to 4 bytes (palette-8 rows unpadded), 16-bit samples low
// byte first, black and white rows `rowBytes` apart with 1 = white, and the
// first band of a 4-bit palette page starting 32 bytes after `pixels`.
#pragma once

#include <cstdint>
#include <vector>

#include "host/format_mapping.h"

// Bytes between the starts of two rows in the host's memory.
uint32_t SourceRowStride(const ScanPage& page);

struct ScanBand {
    std::vector<uint8_t> bytes;  // `pixels` points at bytes.data()
    uint32_t rows = 0;
    uint32_t rowBytes = 0;  // the stride, passed to black and white pages
};

// Rows [firstRow, firstRow + rowCount) of the page. Bytes that the plug-in
// must not read (row padding, unused low bits, the lead-in of a 4-bit palette
// page) hold a filler pattern rather than zeros, so that reading them shows.
ScanBand LayOutBand(const ScanPage& page, uint32_t firstRow, uint32_t rowCount);

// The palette record passed with CmdWritePalette: the 16-bit entry count at 0,
// entry i with red, green, blue at 9 + 4i. At least as long as a ScanImage.
std::vector<uint8_t> LayOutPaletteRecord(const std::vector<PaletteEntry>& palette);

// The unread lead-in before the first row of a 4-bit palette page's first band.
constexpr uint32_t kPalette4FirstBandLeadIn = 32;
