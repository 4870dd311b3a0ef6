// Reads the directory chain of an output file that a page is to be appended
// to: where its last next-directory field lies, and whether the file ends
// exactly where its last page ends.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/tiff_flavour.h"

// The file the chain is read from, as the caller opened it.
class ChainReader {
public:
    // Bytes in the file; UINT64_MAX when that cannot be told.
    virtual uint64_t Size() = 0;
    // Reads `count` bytes at `position`: StatusOk only when all came.
    virtual PluginStatus ReadAt(uint64_t position, uint32_t count, uint8_t* bytes) = 0;

protected:
    ~ChainReader() = default;
};

struct ChainEnd {
    uint32_t pages;               // directories in the chain
    uint64_t nextDirectoryField;  // file offset of the last directory's next-directory field
    uint64_t fileSize;
    uint64_t appendOffset;  // where a new page's directory goes: the end of the file, on a word boundary
    uint64_t chainEnd;      // the end of the last byte the header or any directory names
    TiffFlavour flavour;    // what the header says: classic TIFF or BigTIFF
};

// Walks the chain of the file `file` reads, classic or BigTIFF, as its
// header says. StatusNotAppendable when the file is not a TIFF in
// `byteOrder`, when the chain leaves the file
// or does not move forward, or when any directory names bytes past the end
// of the file or holds a field type TIFF does not define
// (directory_bounds.h); StatusReadFailed when the size cannot be told, else the
// reader's status when the file cannot be read. Bytes behind the last page
// (an append cut short before it was linked, by a crash or a power cut)
// belong to no page and are left alone.
PluginStatus FindChainEnd(ChainReader& file, int32_t byteOrder, ChainEnd* end);

// Whether the bytes past `base` (the file's size before an append that was
// cut short) are provably that append's only: the file has bytes past it,
// and the chain ends at `base`, at most one pad byte before it.
bool TailIsUnfinishedAppend(const ChainEnd& end, uint64_t base);
