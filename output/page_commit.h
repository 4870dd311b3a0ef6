// output/: how a page's bytes reach the disk. File primitives that turn the
// system's failures into statuses, free-space checks, copying and appending
// files, and the commit of a finished page in an order that a crash or a
// full disk cannot turn into a damaged output file.
//
// How a finished page file reaches the output file.
//
// The first page of a file replaces the output file. A later page is
// appended, and only once it is completely and durably in the file is the
// previous page's link (4 bytes, or 8 in a BigTIFF file) patched to point at
// it; any failure leaves the
// output file exactly as it was before the page.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "output/file_handle.h"

// Replaces the output file with the page file, open on `page`; the staged
// copy beside the output file is recorded in `staging` while it exists. The
// page file is left for the caller to delete.
// `roomChecked`: the caller has just found room for the whole page.
PluginStatus CommitFirstPage(FileHandle& page, const char* outputPath, CreationRecord& staging,
                             bool roomChecked = false);

// The bytes that link the previous page to the new one.
struct PageLink {
    uint64_t nextDirectoryField;                  // file offset of the previous page's next-directory field
    uint8_t bytes[8];                             // the new page's offset, already in the file's byte order
    uint32_t size = 4;                            // of bytes: 4, or 8 in a BigTIFF file
    uint64_t largestFileSize = kLargestFileSize;  // what the file's offsets can address
};

// Appends the page file (just opened on `page`) to `output` (open on `outputPath`, `oldSize` bytes
// long) at the first word boundary from `oldSize` on, flushes, then writes
// the link and flushes again. StatusWriteFailed when the output would pass
// the link's largestFileSize. On failure the output is cut back to `oldSize`
// with its old link bytes restored. The page file is left for the caller to
// delete; `output` stays open. `roomChecked`: the caller has just found room
// for the whole page (see FileHandle::AppendFrom).
PluginStatus AppendAndLink(FileHandle& output, FileHandle& page, const char* outputPath, uint64_t oldSize,
                           const PageLink& link, bool roomChecked = false);
