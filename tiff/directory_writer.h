// Serialises a page's staged directory in the file's byte order: header
// (first page of a file), entry count, entries, next-directory offset and
// the out-of-line value areas in entry order, each on a word boundary, into
// a buffer the caller owns and writes.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/directory_entry.h"
#include "tiff/file_header.h"

// A staging block as directory_layout fills it: entries, a zero
// next-directory field, value areas, in the machine's byte order and as wide
// as the flavour's.
struct StagedDirectory {
    const uint8_t* staging;
    uint32_t stagingBytes;
    uint32_t entryCount;
    uint64_t entryBase;  // file offset of the first entry
    TiffFlavour flavour = TiffFlavour::Classic;
};

// Serialises the directory into `out`, `capacity` bytes, and sets *size to
// the bytes put there. `header` is null for a later page. StatusWriteFailed
// when an entry's data lie outside the staging block or the bytes would not
// fit `capacity`.
PluginStatus SerializeDirectory(const StagedDirectory& directory, const TiffHeader* header, int32_t byteOrder,
                                uint8_t* out, uint32_t capacity, uint32_t* size);

// The bytes of one entry (12, or 20 in a BigTIFF file) in the file's byte
// order (for rewrites in place).
void EncodeEntry(uint8_t* destination, const DirectoryEntry& entry, int32_t byteOrder,
                 TiffFlavour flavour = TiffFlavour::Classic);
