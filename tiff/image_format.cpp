#include "tiff/image_format.h"

namespace {

struct Classification {
    uint32_t bitsPerPixel;
    uint32_t samplesPerPixel;
    uint32_t colorKind;  // 0 bilevel, 1 grey, 2 RGB, 3 palette
    int32_t format;
};

// Tested in this order; the first full match wins.
constexpr Classification kClassifications[] = {
    {48, 3, 2, FormatRgb48},   {24, 3, 2, FormatRgb24},   {16, 1, 1, FormatGray16},
    {8, 1, 1, FormatGray8},    {4, 1, 1, FormatGray4},    {1, 1, 0, FormatBilevel},
    {8, 1, 3, FormatPalette8}, {4, 1, 3, FormatPalette4}, {1, 1, 3, FormatPalette1},
};

// Value areas: RGB holds BitsPerSample (3 SHORTs) and the two resolutions,
// grey the resolutions, palette the resolutions and the ColorMap.
constexpr uint32_t kResolutionBytes = 16;
constexpr uint32_t kRgbBitsBytes = 6;

constexpr FormatLayout kLayouts[] = {
    {FormatRgb48, LayoutFamily::Rgb, 17, kRgbBitsBytes + kResolutionBytes, 36, 16, 3, 0},
    {FormatRgb24, LayoutFamily::Rgb, 17, kRgbBitsBytes + kResolutionBytes, 36, 8, 3, 0},
    {FormatGray16, LayoutFamily::Gray, 14, kResolutionBytes, 30, 16, 1, 0},
    {FormatGray8, LayoutFamily::Gray, 14, kResolutionBytes, 30, 8, 1, 0},
    {FormatGray4, LayoutFamily::Gray, 14, kResolutionBytes, 30, 4, 1, 0},
    {FormatBilevel, LayoutFamily::Gray, 14, kResolutionBytes, 30, 1, 1, 0},
    {FormatPalette8, LayoutFamily::Palette, 15, kResolutionBytes + 3 * 256 * 2, 786, 8, 1, 256},
    {FormatPalette4, LayoutFamily::Palette, 15, kResolutionBytes + 3 * 16 * 2, 66, 4, 1, 16},
};

}  // namespace

int32_t ClassifyFormat(uint32_t bitsPerPixel, uint32_t samplesPerPixel, uint32_t colorKind) {
    for (const Classification& row : kClassifications) {
        if (row.bitsPerPixel == bitsPerPixel && row.samplesPerPixel == samplesPerPixel && row.colorKind == colorKind)
            return row.format;
    }
    return FormatNone;
}

const FormatLayout* FindLayout(int32_t format) {
    for (const FormatLayout& layout : kLayouts) {
        if (layout.format == format) return &layout;
    }
    return nullptr;
}

uint32_t StagingBytes(const FormatLayout& layout) { return 12 * layout.entryCount + 4 + layout.valueBytes; }

uint32_t BlockBytes(const FormatLayout& layout) { return StagingBytes(layout) + 2; }

uint64_t StripRowBytes(int32_t format, uint32_t width) {
    const FormatLayout* layout = FindLayout(format);
    if (layout == nullptr) return 0;
    uint64_t bits = uint64_t{width} * layout->bitsPerSample * layout->samplesPerPixel;
    return (bits + 7) / 8;
}

uint64_t StripBytes(int32_t format, uint32_t width, uint32_t height) {
    uint64_t rowBytes = StripRowBytes(format, width);
    if (height != 0 && rowBytes > UINT64_MAX / height) return UINT64_MAX;  // saturate, never wrap
    return rowBytes * height;
}

bool IsPaletteFormat(int32_t format) { return format == FormatPalette8 || format == FormatPalette4; }

bool IsGroup4Page(int32_t format, int32_t compression) {
    return format == FormatBilevel && compression == CompressionGroup4;
}
