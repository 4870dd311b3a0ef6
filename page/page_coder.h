// The one interface through which a page's strip is coded: the page engine
// hands each band to the coder its page was begun with and never asks which
// one that is. Raw, Group 4, Group 3, LZW, Deflate, PackBits and JPEG coders
// implement it (page_coders.h picks one per page); a new compression is a new
// coder and nothing else.
//
// Raw, Group 4 and Group 3 pages have one strip whose directory is laid out
// at the page's start, where the page lands. A coder whose strips' sizes
// and count are known only at the page's end (LZW, Deflate, PackBits, JPEG:
// strips of bounded size) says DirectoryFollowsStrips: its page file holds
// the strips from where the page lands, and the coder lays out the directory
// that follows them once the last strip is coded.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/code_sink.h"
#include "tiff/directory_layout.h"

class StripCounts;

// One band of the host's rows, as the plug-in describes it.
struct BandRows {
    const uint8_t* pixels;     // first byte of the band's first row
    uint32_t width;            // pixels per row
    uint32_t rows;             // rows in the band
    uint32_t bilevelRowBytes;  // bytes from row to row of a bilevel band
};

// What the page's strip holds: its image format and the file's byte order,
// and for Group 3 the page's rows per inch, which choose its coding.
struct StripShape {
    int32_t format;
    int32_t byteOrder;
    uint32_t yResolution = 0;
};

// The start of a page whose directory follows its strips.
struct PageStart {
    int32_t format;
    uint32_t width;
    uint32_t quality;     // JPEG pages: the quality, 1 to 100
    StripCounts* counts;  // where each strip's size goes as it ends, kept until the page ends
};

// The page whose directory follows its strips, as its end finds it.
struct TrailingDirectoryRequest {
    int32_t format;
    int32_t byteOrder;
    uint32_t pageCount;         // pages already in the output file
    uint64_t firstStripOffset;  // where the page's first strip lies in the output file
    PageGeometry page;          // the height is the rows coded
    const uint8_t* colorMap;    // palette pages: the ColorMap the host gave (null: none yet)
    TiffFlavour flavour;
};

// The directory laid out after the strips: its plan (directoryOffset,
// nextDirectoryField, endOffset) and its bytes in the file's byte order,
// held by the coder until it is reset.
struct TrailingDirectory {
    PagePlan plan;
    const uint8_t* bytes;
    uint32_t size;
};

class PageCoder {
public:
    virtual ~PageCoder() = default;

    // The start of a page, or the end of a job: no rows, no code under way,
    // no memory held.
    virtual void Reset() = 0;
    // Codes one band of at least one row and hands its code to `sink`, all
    // of it by the time the call returns except what the coder holds back
    // for the strip's end. StatusNoMemory when the coder's memory cannot be
    // had; StatusUnsupportedImage for a band the coder cannot take; else the
    // sink's status.
    virtual PluginStatus CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) = 0;
    // Whether the strip's `stripBytes` bytes so far are this coder's to go
    // on with: a stream begun by another coder (another process) cannot be
    // continued.
    virtual bool Continues(uint64_t stripBytes) const = 0;
    // Rows in a strip of `stripBytes` bytes of rows `rowBytes` long.
    virtual uint64_t RowsInStrip(uint64_t stripBytes, uint64_t rowBytes) const = 0;
    // Hands the end of the strip's code to `sink`. A coder whose stream
    // cannot go on after it lets go of its memory, whatever the outcome.
    virtual PluginStatus Finish(CodeSink& sink) = 0;

    // What the directory needs at the page's end: true when the strip's size
    // is what was coded, written into StripByteCounts in place of the
    // uncompressed size planned at the page's start; false when the strip is
    // the page's rows themselves.
    virtual bool SizedByCode() const = 0;

    // Whether the page's directory follows its strips (see above).
    virtual bool DirectoryFollowsStrips() const { return false; }
    // Such a coder's page begins: StatusUnsupportedImage for a page it
    // cannot code, StatusNoMemory when its memory cannot be had.
    virtual PluginStatus BeginPage(const PageStart&) { return StatusOk; }
    // After Finish: the directory that follows the strips. StatusBadSequence
    // for a coder whose directory does not.
    virtual PluginStatus LayOutDirectory(const TrailingDirectoryRequest&, TrailingDirectory*) {
        return StatusBadSequence;
    }
};
