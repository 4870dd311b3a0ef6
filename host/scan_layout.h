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

// The memory of one band at a time, reused from band to band of a page.
// Bytes that the plug-in must not read (row padding, the lead-in of a 4-bit
// palette page) hold a filler pattern rather than zeros, so that reading them
// shows; the rows themselves are filled by the page's row source.
class BandBuffer {
public:
    explicit BandBuffer(const ScanPage& page);

    // Makes room for rows [firstRow, firstRow + rowCount). A band of another
    // size gets memory of its own size, so that the sanitizers of test builds
    // see a plug-in reading past the band.
    void Prepare(uint32_t firstRow, uint32_t rowCount);

    uint8_t* Row(uint32_t index) { return bytes_.data() + leadIn_ + static_cast<size_t>(index) * rowBytes_; }
    const uint8_t* Pixels() const { return bytes_.data(); }  // what `pixels` points at
    uint32_t RowBytes() const { return rowBytes_; }          // the stride, passed to black and white pages

private:
    std::vector<uint8_t> bytes_;
    uint32_t rowBytes_;
    bool palette4_;
    uint32_t leadIn_ = 0;
};

// The palette record passed with CmdWritePalette: the 16-bit entry count at 0,
// entry i with red, green, blue at 9 + 4i. At least as long as a ScanImage.
std::vector<uint8_t> LayOutPaletteRecord(const std::vector<PaletteEntry>& palette);

// The unread lead-in before the first row of a 4-bit palette page's first band.
constexpr uint32_t kPalette4FirstBandLeadIn = 32;
