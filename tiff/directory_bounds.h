// Whether every byte a directory of an existing file names lies within that
// file: its entries' value areas and its strips (or tiles). A page appended
// behind a directory that names bytes past the end would be written over
// what that directory claims, and a field type TIFF does not define leaves
// its value's size unknown: both make the file one that is not extended.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/page_chain.h"

// A directory of an existing file: where it lies, its entries, and whether
// they are classic or BigTIFF ones.
struct DirectoryAt {
    uint64_t offset;
    uint16_t entries;
    TiffFlavour flavour;
};

// Checks the directory of a file of `size` bytes. StatusOk with `end` set to
// the end of the last byte the directory names (itself included);
// StatusNotAppendable for an undefined field type (LONG8, SLONG8 and IFD8
// are defined in BigTIFF files only), a value area or strip past the end,
// or strip offsets and counts that do not pair up; else the reader's status.
PluginStatus CheckDirectoryBounds(ChainReader& file, const DirectoryAt& directory, int32_t byteOrder, uint64_t size,
                                  uint64_t* end);
