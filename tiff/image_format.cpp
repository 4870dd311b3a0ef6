#include "tiff/image_format.h"

#include "tiff/color_map.h"
#include "tiff/directory_entry.h"
#include "tiff/file_header.h"

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
constexpr uint32_t kRgbEntries = 17;
constexpr uint32_t kGrayEntries = 14;
constexpr uint32_t kPaletteEntries = 15;

// What the page-size test adds to the entries and the strip: the header,
// the entry count, the next-directory offset and the value areas, except
// that a palette layout counts its colour map at one byte per value and 4
// bytes for its resolutions, less than they take. The free-space statuses
// depend on these sums, so they stay as they are.
constexpr uint32_t kDirectoryFrame = kHeaderBytes + kEntryCountBytes + kNextDirectoryBytes;
constexpr uint32_t kRgbPageSizeTestExtra = kDirectoryFrame + kRgbBitsBytes + kResolutionBytes;
constexpr uint32_t kGrayPageSizeTestExtra = kDirectoryFrame + kResolutionBytes;
constexpr uint32_t PalettePageSizeTestExtra(uint32_t planeValues) { return kDirectoryFrame + 3 * planeValues + 4; }

constexpr FormatLayout kLayouts[] = {
    {FormatRgb48, LayoutFamily::Rgb, kRgbEntries, kRgbBitsBytes + kResolutionBytes, kRgbPageSizeTestExtra, 16, 3, 0},
    {FormatRgb24, LayoutFamily::Rgb, kRgbEntries, kRgbBitsBytes + kResolutionBytes, kRgbPageSizeTestExtra, 8, 3, 0},
    {FormatGray16, LayoutFamily::Gray, kGrayEntries, kResolutionBytes, kGrayPageSizeTestExtra, 16, 1, 0},
    {FormatGray8, LayoutFamily::Gray, kGrayEntries, kResolutionBytes, kGrayPageSizeTestExtra, 8, 1, 0},
    {FormatGray4, LayoutFamily::Gray, kGrayEntries, kResolutionBytes, kGrayPageSizeTestExtra, 4, 1, 0},
    {FormatBilevel, LayoutFamily::Gray, kGrayEntries, kResolutionBytes, kGrayPageSizeTestExtra, 1, 1, 0},
    {FormatPalette8, LayoutFamily::Palette, kPaletteEntries, kResolutionBytes + ColorMapBytes(256),
     PalettePageSizeTestExtra(256), 8, 1, 256},
    {FormatPalette4, LayoutFamily::Palette, kPaletteEntries, kResolutionBytes + ColorMapBytes(16),
     PalettePageSizeTestExtra(16), 4, 1, 16},
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

uint32_t ValueAreaBytes(const FormatLayout& layout, TiffFlavour flavour) {
    if (flavour == TiffFlavour::Classic) return layout.valueBytes;
    return layout.family == LayoutFamily::Palette ? ColorMapBytes(layout.colorMapValues) : 0;
}

uint32_t StagingBytes(const FormatLayout& layout, TiffFlavour flavour) {
    const TiffFrame& frame = FrameOf(flavour);
    return frame.entryBytes * layout.entryCount + frame.nextDirectoryBytes + ValueAreaBytes(layout, flavour);
}

uint32_t BlockBytes(const FormatLayout& layout, TiffFlavour flavour) {
    return FrameOf(flavour).entryCountBytes + StagingBytes(layout, flavour);
}

uint64_t PageSizeTestBytes(const FormatLayout& layout, uint64_t stripBytes, TiffFlavour flavour) {
    if (flavour == TiffFlavour::Classic)
        return kEntryBytes * uint64_t{layout.entryCount} + stripBytes + layout.pageSizeTestExtra;
    const TiffFrame& frame = FrameOf(flavour);
    return uint64_t{frame.headerBytes} + BlockBytes(layout, flavour) + stripBytes;
}

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

uint32_t BoundedStripRows(int32_t format, uint32_t width) {
    const uint64_t rowBytes = StripRowBytes(format, width);
    if (rowBytes == 0 || rowBytes >= kStripRawBytesLimit) return 1;
    return static_cast<uint32_t>(kStripRawBytesLimit / rowBytes);
}

bool IsPaletteFormat(int32_t format) { return format == FormatPalette8 || format == FormatPalette4; }

bool IsGroup4Page(int32_t format, int32_t compression) {
    return format == FormatBilevel && compression == CompressionGroup4;
}

bool IsGroup3(int32_t pageCompression) {
    return pageCompression == CompressionGroup3OneD || pageCompression == CompressionGroup3TwoD;
}

int32_t PageCompression(int32_t format, int32_t compression, int32_t colorCompression) {
    if (format == FormatBilevel)
        return compression == CompressionGroup4 || compression == CompressionPackBits || IsGroup3(compression)
                   ? compression
                   : CompressionNone;
    if (colorCompression == CompressionJpeg)
        return kJpegPagesBuilt && IsJpegFormat(format) ? CompressionJpeg : CompressionDeflate;
    return IsLzwOrDeflate(colorCompression) || colorCompression == CompressionPackBits ? colorCompression
                                                                                       : CompressionNone;
}

void SettingsOfPageCompression(int32_t pageCompression, int32_t* compression, int32_t* colorCompression) {
    const bool bilevelOnly = pageCompression == CompressionGroup4 || IsGroup3(pageCompression);
    const bool packBits = pageCompression == CompressionPackBits;
    *compression = bilevelOnly || packBits ? pageCompression : CompressionNone;
    const bool colorCoded = IsLzwOrDeflate(pageCompression) || pageCompression == CompressionJpeg || packBits;
    *colorCompression = colorCoded ? pageCompression : CompressionNone;
}

bool IsJpegFormat(int32_t format) { return format == FormatRgb24 || format == FormatGray8; }

bool IsLzwOrDeflate(int32_t pageCompression) {
    return pageCompression == CompressionLzw || pageCompression == CompressionDeflate;
}

bool UsesPredictor(int32_t format, int32_t pageCompression) {
    const FormatLayout* layout = FindLayout(format);
    return layout != nullptr && IsLzwOrDeflate(pageCompression) && layout->family != LayoutFamily::Palette &&
           (layout->bitsPerSample == 8 || layout->bitsPerSample == 16);
}

uint32_t PageEntryCount(const FormatLayout& layout, int32_t pageCompression) {
    return layout.entryCount + (UsesPredictor(layout.format, pageCompression) || IsGroup3(pageCompression) ? 1 : 0);
}

uint32_t PageBlockBytes(const FormatLayout& layout, int32_t pageCompression, TiffFlavour flavour) {
    return BlockBytes(layout, flavour) +
           FrameOf(flavour).entryBytes * (PageEntryCount(layout, pageCompression) - layout.entryCount);
}
