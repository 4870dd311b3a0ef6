// tiff/: what bytes a page is, and nothing else. It classifies the host's
// image, lays out and serialises a page's directory, converts bands into
// strip rows, codes them (Group 4, LZW, Deflate, JPEG) and reads a page chain,
// always into or out of buffers its caller owns; it opens no file (only zlib
// and libjpeg keep a heap state of their own, for a Deflate or JPEG page).
// tiff/README.md draws a page on disk.
//
// The plug-in's image formats: how a host image is classified, and the TIFF
// parameters and sizes that follow from each format.
#pragma once

#include <cstdint>

#include "base/setting_values.h"
#include "tiff/tiff_flavour.h"

enum ImageFormat : int32_t {
    FormatNone = 0,
    FormatRgb48 = 1048,
    FormatRgb24 = 1024,
    FormatGray16 = 2016,
    FormatGray8 = 2008,
    FormatGray4 = 2004,
    FormatPalette8 = 3008,
    FormatPalette4 = 3004,
    FormatPalette1 = 3001,  // accepted by classification, but has no page layout
    FormatBilevel = 4000,
};

// The ImageFormat of a host image description, or FormatNone.
int32_t ClassifyFormat(uint32_t bitsPerPixel, uint32_t samplesPerPixel, uint32_t colorKind);

// The three directory families.
enum class LayoutFamily { Rgb, Gray, Palette };

// What a format's page directory looks like.
struct FormatLayout {
    int32_t format;
    LayoutFamily family;
    uint32_t entryCount;
    uint32_t valueBytes;         // the out-of-line value areas
    uint32_t pageSizeTestExtra;  // what the page-size test adds to the entries and the strip
    uint16_t bitsPerSample;
    uint16_t samplesPerPixel;
    uint32_t colorMapValues;  // values per ColorMap plane; 0 without a map
};

// The layout of a format, or nullptr when the format has none (FormatPalette1,
// FormatNone, unknown codes).
const FormatLayout* FindLayout(int32_t format);

// The out-of-line value areas of the layout's directory: a BigTIFF entry
// holds up to 8 bytes itself (BitsPerSample, the resolutions), so only a
// ColorMap is left out of line there.
uint32_t ValueAreaBytes(const FormatLayout& layout, TiffFlavour flavour);
// The directory block without its leading entry count (what a staging
// block holds).
uint32_t StagingBytes(const FormatLayout& layout, TiffFlavour flavour = TiffFlavour::Classic);
// The directory block as it lies in the file (count, entries, next offset,
// value areas).
uint32_t BlockBytes(const FormatLayout& layout, TiffFlavour flavour = TiffFlavour::Classic);

// The bytes the free-space and size tests ask for a page of the layout:
// its entries, its strip and the layout's pageSizeTestExtra (a BigTIFF
// page's header, frame and value areas).
uint64_t PageSizeTestBytes(const FormatLayout& layout, uint64_t stripBytes, TiffFlavour flavour = TiffFlavour::Classic);

// Bytes of one uncompressed strip row of `width` pixels; 0 for a format
// without a layout.
uint64_t StripRowBytes(int32_t format, uint32_t width);
// Bytes of the page's uncompressed strip (also the prediction for Group 4).
uint64_t StripBytes(int32_t format, uint32_t width, uint32_t height);

// The most uncompressed bytes a strip of an LZW, Deflate, PackBits or JPEG
// page holds, unless one row (or one JPEG MCU row) is larger: some readers
// load a whole strip into memory, and some refuse large ones.
inline constexpr uint64_t kStripRawBytesLimit = 256 * 1024;
// Rows per strip of such a page (JPEG's own rule is in jpeg_strip_coder.h):
// as many whole rows as kStripRawBytesLimit holds, at least one.
uint32_t BoundedStripRows(int32_t format, uint32_t width);

// True for the two formats whose page carries a ColorMap.
bool IsPaletteFormat(int32_t format);
// True for a bilevel page coded with Group 4.
bool IsGroup4Page(int32_t format, int32_t compression);
// True for a page coded with Group 3, one- or two-dimensionally.
bool IsGroup3(int32_t pageCompression);

// How a page of `format` is coded (its Compression tag, CompressionTag of it
// for Group 3): bilevel pages follow `compression` (None, Group 4, Group 3
// one- or two-dimensional, PackBits), every other format `colorCompression`
// (None, LZW, Deflate, JPEG or PackBits: JPEG for the formats IsJpegFormat
// names, Deflate for the others); any other value is None.
int32_t PageCompression(int32_t format, int32_t compression, int32_t colorCompression);
// The settings that give a page of the Compression tag `pageCompression`
// (as PageCompression gives it): the reverse of PageCompression. A PackBits
// page sets both settings, being one of either kind.
void SettingsOfPageCompression(int32_t pageCompression, int32_t* compression, int32_t* colorCompression);
// True for the formats a JPEG page holds: 8-bit grey and 24-bit RGB.
bool IsJpegFormat(int32_t format);
// True for a page whose strip is LZW or Deflate coded.
bool IsLzwOrDeflate(int32_t pageCompression);
// True when a page's samples are differenced (Predictor 2) before coding:
// coded pages of 8- and 16-bit samples. 4-bit samples and palette indices
// are not: readers difference whole 8- and 16-bit samples only, and the
// difference of two palette indices says nothing about their colours.
bool UsesPredictor(int32_t format, int32_t pageCompression);
// Entries of a page's directory: the layout's, and Predictor or T4Options
// where used.
uint32_t PageEntryCount(const FormatLayout& layout, int32_t pageCompression);
// The page's directory block as it lies in the file.
uint32_t PageBlockBytes(const FormatLayout& layout, int32_t pageCompression,
                        TiffFlavour flavour = TiffFlavour::Classic);
