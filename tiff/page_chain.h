// Reads the directory chain of an output file that a page is to be appended
// to: where its last next-directory field lies, and whether the file ends
// exactly where its last page ends.
#pragma once

#include <cstdint>

#include "output/file_handle.h"
#include "output/status.h"

struct ChainEnd {
    uint32_t pages;      // directories in the chain
    uint32_t nextField;  // file offset of the last directory's next-directory field
    uint64_t fileSize;
};

// Walks the chain of the file open in `file`. StatusNotAppendable when the
// file is not a classic TIFF in `byteOrder`, when the chain leaves the file,
// does not move forward, or when the file does not end (on a word boundary)
// right behind its last page's strip; StatusReadFailed/StatusSeekFailed when
// the file cannot be read.
PluginStatus FindChainEnd(FileHandle& file, int32_t byteOrder, ChainEnd* end);
