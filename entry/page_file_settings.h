// What a begun page was laid out with, read back from its page file.
//
// A page's byte order and compression are fixed when it is begun: its
// directory is written with them. The settings in the registry may change
// before the page ends (a settings dialog, another process on the same key);
// the page's later commands follow the page file, so that a page is never
// finished in another byte order or compression than its directory says.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "output/file_handle.h"

struct PageFileSettings {
    int32_t byteOrder;    // ByteOrderIntel or ByteOrderMotorola
    int32_t compression;  // the Compression tag: None, Group4, Lzw or Deflate
    uint32_t height;      // ImageLength: the rows the page was begun with
    uint32_t width;       // ImageWidth: the pixels of each of its rows
};

// Reads the directory at the start of the page file open in `file` (after
// the header on the first page of a file, pageCount 0), expected to hold
// the entries of `format`'s layout. `settingsByteOrder` is tried first.
// StatusBadSequence when the file holds no such directory in either byte
// order; the primitives' statuses when it cannot be read. The file position
// is left anywhere.
PluginStatus ReadPageFileSettings(FileHandle& file, uint32_t pageCount, int32_t format, int32_t settingsByteOrder,
                                  PageFileSettings* settings);
