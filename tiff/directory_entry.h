// One TIFF directory entry, and the tags and types the plug-in writes. A
// page's staging block holds its entries in the machine's byte order, each
// as wide as the file's (12 bytes in a classic file, 20 in a BigTIFF one),
// so that the value areas after them lie where they will in the file.
#pragma once

#include <cstdint>

#include "tiff/tiff_flavour.h"

struct DirectoryEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    // The inline values, the first in the low bits (a RATIONAL's numerator
    // below its denominator), or the file offset of the out-of-line data.
    uint64_t value;
};

// A classic directory in the file: the entry count, the entries, then the
// offset of the next directory (0 for the last). FrameOf gives a BigTIFF's.
inline constexpr uint32_t kEntryCountBytes = 2;
inline constexpr uint32_t kEntryBytes = 12;
inline constexpr uint32_t kNextDirectoryBytes = 4;

// The entry at `staged` in a staging block of the flavour's entries.
void StageEntry(uint8_t* staged, const DirectoryEntry& entry, TiffFlavour flavour);
DirectoryEntry StagedEntryAt(const uint8_t* staged, TiffFlavour flavour);

enum : uint16_t {
    TypeByte = 1,
    TypeAscii = 2,
    TypeShort = 3,
    TypeLong = 4,
    TypeRational = 5,
    TypeSByte = 6,
    TypeUndefined = 7,
    TypeSShort = 8,
    TypeSLong = 9,
    TypeSRational = 10,
    TypeFloat = 11,
    TypeDouble = 12,
};

// The value of an entry of one SHORT, LONG or (BigTIFF) LONG8 value with
// the tag `tag`, from its bytes as the file holds them in `byteOrder`; false
// for any other entry. The one reader of the single values of a page's own
// directory; the 32-bit form refuses a value past 32 bits.
bool ReadSingleValue(const uint8_t* entry, uint16_t tag, int32_t byteOrder, uint64_t* value,
                     TiffFlavour flavour = TiffFlavour::Classic);
bool ReadSingleValue(const uint8_t* entry, uint16_t tag, int32_t byteOrder, uint32_t* value,
                     TiffFlavour flavour = TiffFlavour::Classic);

// Widths and heights are SHORT where they fit and LONG beyond 65,535, so
// that nothing is cut; the entry holds either inline.
inline constexpr uint16_t DimensionType(uint32_t value) { return value > 0xFFFF ? TypeLong : TypeShort; }

enum : uint16_t {
    TagNewSubfileType = 254,
    TagImageWidth = 256,
    TagImageLength = 257,
    TagBitsPerSample = 258,
    TagCompression = 259,
    TagPhotometric = 262,
    TagStripOffsets = 273,
    TagSamplesPerPixel = 277,
    TagRowsPerStrip = 278,
    TagStripByteCounts = 279,
    TagMinSampleValue = 280,
    TagMaxSampleValue = 281,
    TagXResolution = 282,
    TagYResolution = 283,
    TagPlanarConfiguration = 284,
    TagT4Options = 292,
    TagResolutionUnit = 296,
    TagPageNumber = 297,
    TagPredictor = 317,
    TagColorMap = 320,
    TagJpegTables = 347,
    TagYCbCrSubSampling = 530,
    TagReferenceBlackWhite = 532,
};

// Values of the entries the plug-in writes.
enum : uint16_t {
    SubfileSinglePage = 0,  // NewSubfileType
    SubfilePage = 2,        // NewSubfileType: one page of a multi-page document
    PhotometricWhiteIsZero = 0,
    PhotometricBlackIsZero = 1,
    PhotometricRgb = 2,
    PhotometricPalette = 3,
    PhotometricYCbCr = 6,
    PlanarChunky = 1,  // PlanarConfiguration: the samples of a pixel together
    PredictorHorizontal = 2,
    ResolutionUnitInch = 2,
};
