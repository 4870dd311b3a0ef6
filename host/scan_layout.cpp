#include "host/scan_layout.h"

#include <algorithm>

#include "entry/host_records.h"

namespace {

constexpr uint8_t kFiller = 0xA5;

uint32_t PaddedToFour(uint64_t bits) { return static_cast<uint32_t>((bits + 31) / 32 * 4); }

bool IsPalette8(const ScanPage& page) { return page.colorKind == ColorPalette && page.bitsPerPixel == 8; }
bool IsPalette4(const ScanPage& page) { return page.colorKind == ColorPalette && page.bitsPerPixel == 4; }

}  // namespace

uint32_t SourceRowStride(const ScanPage& page) {
    const uint32_t width = page.image.width;
    if (IsPalette8(page)) {
        return width;
    }
    if (page.colorKind == ColorBilevel) {
        return PaddedToFour(static_cast<uint64_t>(width));
    }
    return PaddedToFour(static_cast<uint64_t>(width) * page.bitsPerPixel);
}

BandBuffer::BandBuffer(const ScanPage& page) : rowBytes_(SourceRowStride(page)), palette4_(IsPalette4(page)) {}

void BandBuffer::Prepare(uint32_t firstRow, uint32_t rowCount) {
    leadIn_ = (palette4_ && firstRow == 0) ? kPalette4FirstBandLeadIn : 0;
    const size_t size = leadIn_ + static_cast<size_t>(rowBytes_) * rowCount;
    // The row sources write only the rows' own bytes: padding and lead-in
    // keep their filler from band to band.
    if (size != bytes_.size()) {
        std::vector<uint8_t>(size, kFiller).swap(bytes_);
    }
}

std::vector<uint8_t> LayOutPaletteRecord(const std::vector<PaletteEntry>& palette) {
    const size_t count = std::min<size_t>(palette.size(), 256);
    std::vector<uint8_t> record(std::max(sizeof(ScanImage), 9 + 4 * count + 3), kFiller);
    record[0] = static_cast<uint8_t>(count & 0xFF);
    record[1] = static_cast<uint8_t>(count >> 8);
    for (size_t i = 0; i < count; ++i) {
        record[9 + 4 * i] = palette[i].red;
        record[10 + 4 * i] = palette[i].green;
        record[11 + 4 * i] = palette[i].blue;
    }
    return record;
}
