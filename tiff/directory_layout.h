// The directory of one page: where the page lands in the output file, its
// sizes, and the staging block (entries, next offset, value areas) that the
// serialiser writes.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/image_format.h"
#include "tiff/tiff_flavour.h"

struct PageGeometry {
    uint32_t width;
    uint32_t height;
    uint32_t xResolution;
    uint32_t yResolution;
};

struct LayoutRequest {
    int32_t format;
    int32_t compression;       // of bilevel pages
    bool multiPage;            // pages of a multi-page document (NewSubfileType 2)
    uint32_t pageCount;        // pages already in the output file
    uint64_t directoryOffset;  // where the page's directory will lie in the output file
    PageGeometry page;
    int32_t colorCompression = kDefaultColorCompression;  // of every page but bilevel ones
    TiffFlavour flavour = TiffFlavour::Classic;           // the output file's offsets
};

struct PagePlan {
    const FormatLayout* layout;
    int32_t compression;          // how the page is coded (PageCompression)
    uint32_t entryCount;          // PageEntryCount
    uint32_t stagingBytes;        // the block without its entry count
    uint32_t blockBytes;          // PageBlockBytes
    uint64_t directoryOffset;     // where the directory lies in the output file
    uint64_t entryBase;           // file offset of the first entry: after the directory's entry count
    uint64_t nextDirectoryField;  // file offset of the field that will hold the next directory's offset
    uint64_t stripBytes;          // uncompressed strip (the prediction for coded pages)
    uint64_t pageBytes;           // what the free-space and size tests ask for (PageSizeTestBytes)
    uint64_t endOffset;           // output size once the page is committed (strip padded to even)
    TiffFlavour flavour;          // the request's
};

// A classic file never reaches 4 GiB - 1: every offset must fit 32 bits. A
// strip, and a page file, stays below it in either flavour; a BigTIFF file's
// offsets stay below FrameOf(flavour).offsetLimit.
inline constexpr uint64_t kOffsetLimit = 0xFFFFFFFFu;

// Plans the page. StatusUnsupportedImage for a format without a layout,
// StatusWriteFailed when the strip or the page would reach 4 GiB or the
// file its flavour's offset limit. A page that is not part of a multi-page
// file lies right after the header.
PluginStatus PlanPage(const LayoutRequest& request, PagePlan* plan);

// Fills a zero-filled staging block of plan.stagingBytes bytes.
void FillDirectory(const LayoutRequest& request, const PagePlan& plan, uint8_t* staging);

// A page whose directory follows its strips: a JPEG page (Compression 7,
// tiff/jpeg_strip_coder.h: 24-bit RGB stored as YCbCr with 2x2
// subsampling, or 8-bit grey, with the page's tables as JPEGTables), or an
// LZW, Deflate or PackBits page of any format, in strips of rowsPerStrip
// rows (the last one shorter). Its strips' sizes are known only once it is
// coded, and its height too (a host may deliver fewer or more rows than it
// announced), so its directory follows its strips: the strips lie one after
// another from firstStripOffset, the directory at the next word boundary
// after them. Its entries are those of the format's layout (a JPEG page's
// own), StripOffsets and StripByteCounts arrays where there are several
// strips.
struct TrailingLayoutRequest {
    int32_t format;
    bool multiPage;
    uint32_t pageCount;
    uint64_t firstStripOffset;  // where the first strip lies in the output file
    PageGeometry page;          // the height is the rows coded
    uint32_t rowsPerStrip;
    const uint32_t* stripByteCounts;  // one per strip, in order
    uint32_t stripCount;              // height / rowsPerStrip, rounded up
    const uint8_t* tables;            // JPEG pages: the JPEGTables stream
    uint32_t tablesBytes;
    int32_t compression = CompressionJpeg;  // how the page is coded (PageCompression)
    const uint8_t* colorMap = nullptr;      // palette pages: the ColorMap (color_map.h), zero when null
    TiffFlavour flavour = TiffFlavour::Classic;
};

// Plans such a page's directory; plan.stripBytes is the strips' sum,
// plan.pageBytes the page's bytes from its first strip to the end of its
// directory block, plan.endOffset that end. StatusUnsupportedImage for a
// format without a layout, or JPEG for one JPEG does not suit;
// StatusBadRecord when the strip count does not match the height, a strip is
// empty, or a JPEG page has no tables; StatusWriteFailed when the strips
// would reach 4 GiB or the page its flavour's offset limit.
PluginStatus PlanTrailingPage(const TrailingLayoutRequest& request, PagePlan* plan);

// Fills a zero-filled staging block of plan.stagingBytes bytes.
void FillTrailingDirectory(const TrailingLayoutRequest& request, const PagePlan& plan, uint8_t* staging);

// Positions of entries in every layout's directory but a JPEG page's
// (0-based, the order the builders fill them in). The resolutions are those
// of the grey and bilevel layouts; the RGB and palette layouts place them
// elsewhere.
namespace entry_index {
inline constexpr uint32_t kImageWidth = 1;
inline constexpr uint32_t kImageLength = 2;
inline constexpr uint32_t kCompression = 4;
inline constexpr uint32_t kStripOffsets = 6;
inline constexpr uint32_t kRowsPerStrip = 8;
inline constexpr uint32_t kStripByteCounts = 9;
inline constexpr uint32_t kGreyXResolution = 10;
inline constexpr uint32_t kGreyYResolution = 11;
inline constexpr uint32_t kT4Options = 12;  // Group 3 pages only
}  // namespace entry_index

// Where the directory of a page lies in its page file: after the header on
// the first page of a file, else at the start.
uint32_t DirectoryPositionInPageFile(uint32_t pageCount, TiffFlavour flavour = TiffFlavour::Classic);

// Where an entry of a page lies in its page file.
uint32_t EntryPositionInTempFile(uint32_t entryIndex, uint32_t pageCount, TiffFlavour flavour = TiffFlavour::Classic);

// File offset of the field after a directory of `entryCount` entries at
// `directoryOffset` that holds the next directory's offset.
uint64_t NextDirectoryField(uint64_t directoryOffset, uint32_t entryCount, TiffFlavour flavour = TiffFlavour::Classic);
