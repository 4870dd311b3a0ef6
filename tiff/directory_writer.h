// Serialises a page's staged directory into the page's temporary file in the
// file's byte order: header (first page of a file), entry count, entries,
// next-directory offset and the out-of-line value areas in entry order.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "output/file_handle.h"
#include "tiff/directory_entry.h"

struct TiffHeader {
    uint16_t byteOrder;       // 18761 "II" or 19789 "MM"
    uint16_t magic;           // 42
    uint32_t firstDirectory;  // 8
};

// A staging block as directory_layout fills it: entries, 4 zero bytes, value
// areas, in the machine's byte order.
struct StagedDirectory {
    const uint8_t* staging;
    uint32_t stagingBytes;
    uint32_t entryCount;
    uint32_t entryBase;  // file offset of the first entry
};

// Writes at the file's current position. `header` is null for a later page.
// StatusDiskFull when the free space of `freeSpacePath`'s volume is below a
// header, count, entry block or next-offset write (unknown free space passes);
// StatusWriteFailed when a write fails or an entry's data lies outside the
// staging block. The file stays open either way.
PluginStatus WriteDirectory(FileHandle& file, const StagedDirectory& directory, const TiffHeader* header,
                            int32_t byteOrder, const char* freeSpacePath);

// The 12 bytes of one entry in the file's byte order (for rewrites in place).
void EncodeEntry(uint8_t* destination, const DirectoryEntry& entry, int32_t byteOrder);
