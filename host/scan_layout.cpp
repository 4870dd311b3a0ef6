#include "host/scan_layout.h"

#include <algorithm>
#include <cstring>

#include "entry/host_records.h"

namespace {

constexpr uint8_t kFiller = 0xA5;

uint32_t PaddedToFour(uint64_t bits) { return static_cast<uint32_t>((bits + 31) / 32 * 4); }

bool IsPalette8(const ScanPage& page) { return page.colorKind == ColorPalette && page.bitsPerPixel == 8; }
bool IsPalette4(const ScanPage& page) { return page.colorKind == ColorPalette && page.bitsPerPixel == 4; }

void PutRow16(uint8_t* out, const Image& image, uint32_t y) {
    const int channels = image.Channels();
    for (uint32_t x = 0; x < image.width; ++x) {
        for (int c = 0; c < channels; ++c) {
            const uint16_t sample = image.Sample(x, y, c);
            *out++ = static_cast<uint8_t>(sample & 0xFF);
            *out++ = static_cast<uint8_t>(sample >> 8);
        }
    }
}

void PutRow8(uint8_t* out, const Image& image, uint32_t y) {
    const int channels = image.Channels();
    for (uint32_t x = 0; x < image.width; ++x) {
        for (int c = 0; c < channels; ++c) {
            *out++ = static_cast<uint8_t>(image.Sample(x, y, c));
        }
    }
}

void PutRow4(uint8_t* out, const Image& image, uint32_t y) {
    std::memset(out, 0, (image.width + 1) / 2);
    for (uint32_t x = 0; x < image.width; ++x) {
        const uint8_t nibble = static_cast<uint8_t>(image.Sample(x, y) & 0x0F);
        out[x / 2] |= (x % 2 == 0) ? static_cast<uint8_t>(nibble << 4) : nibble;
    }
}

// Unused low bits of the last byte are set: the plug-in must clear them.
void PutRow1(uint8_t* out, const Image& image, uint32_t y) {
    const uint32_t bytes = (image.width + 7) / 8;
    std::memset(out, 0, bytes);
    for (uint32_t x = 0; x < image.width; ++x) {
        if (image.Sample(x, y) != 0) {
            out[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    if (image.width % 8 != 0) {
        out[bytes - 1] |= static_cast<uint8_t>(0xFF >> (image.width % 8));
    }
}

void PutRow(uint8_t* out, const ScanPage& page, uint32_t y) {
    switch (page.bitsPerPixel) {
    case 48:
    case 16:
        PutRow16(out, page.image, y);
        break;
    case 24:
    case 8:
        PutRow8(out, page.image, y);
        break;
    case 4:
        PutRow4(out, page.image, y);
        break;
    default:
        PutRow1(out, page.image, y);
    }
}

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

ScanBand LayOutBand(const ScanPage& page, uint32_t firstRow, uint32_t rowCount) {
    ScanBand band;
    band.rows = rowCount;
    band.rowBytes = SourceRowStride(page);
    const uint32_t leadIn = (IsPalette4(page) && firstRow == 0) ? kPalette4FirstBandLeadIn : 0;
    band.bytes.assign(leadIn + static_cast<size_t>(band.rowBytes) * rowCount, kFiller);
    for (uint32_t row = 0; row < rowCount; ++row) {
        PutRow(band.bytes.data() + leadIn + static_cast<size_t>(row) * band.rowBytes, page, firstRow + row);
    }
    return band;
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
