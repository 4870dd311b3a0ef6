// Whether every byte a directory of an existing file names lies within that
// file: its entries' value areas and its strips (or tiles). A page appended
// behind a directory that names bytes past the end would be written over
// what that directory claims, and a field type TIFF does not define leaves
// its value's size unknown: both make the file one that is not extended.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/page_chain.h"

// Checks the directory at `directory` with `entries` entries of a file of
// `size` bytes. StatusOk with `end` set to the end of the last byte the
// directory names (itself included); StatusNotAppendable for an undefined
// field type, a value area or strip past the end, or strip offsets and
// counts that do not pair up; else the reader's status.
PluginStatus CheckDirectoryBounds(ChainReader& file, uint64_t directory, uint16_t entries, int32_t byteOrder,
                                  uint64_t size, uint64_t* end);
