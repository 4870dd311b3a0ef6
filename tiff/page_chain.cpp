#include "tiff/page_chain.h"

#include <algorithm>

#include "tiff/byte_order.h"
#include "tiff/directory_bounds.h"
#include "tiff/directory_entry.h"
#include "tiff/file_header.h"

namespace {

bool HeaderMatches(const uint8_t* header, int32_t byteOrder) {
    uint8_t mark = byteOrder == ByteOrderIntel ? 'I' : 'M';
    return header[0] == mark && header[1] == mark && GetShort(header + 2, byteOrder) == kTiffMagic;
}

}  // namespace

PluginStatus FindChainEnd(ChainReader& file, int32_t byteOrder, ChainEnd* end) {
    uint64_t size = file.Size();
    if (size == UINT64_MAX) return StatusReadFailed;
    if (size < kHeaderBytes) return StatusNotAppendable;
    uint8_t header[kHeaderBytes];
    if (PluginStatus status = file.ReadAt(0, kHeaderBytes, header); status != StatusOk) return status;
    if (!HeaderMatches(header, byteOrder)) return StatusNotAppendable;

    ChainEnd result{0, 0, size, size + (size & 1), kHeaderBytes};
    uint64_t directory = GetLong(header + 4, byteOrder);
    uint64_t previous = 0;
    // Directories must move strictly forward, so the walk always ends.
    while (true) {
        if (directory <= previous || directory % 2 != 0 || directory + kEntryCountBytes > size)
            return StatusNotAppendable;
        uint8_t field[kNextDirectoryBytes];
        if (PluginStatus status = file.ReadAt(directory, kEntryCountBytes, field); status != StatusOk) return status;
        uint16_t entries = GetShort(field, byteOrder);
        uint64_t nextDirectoryField = directory + kEntryCountBytes + uint64_t{kEntryBytes} * entries;
        if (nextDirectoryField + kNextDirectoryBytes > size) return StatusNotAppendable;
        if (PluginStatus status = file.ReadAt(nextDirectoryField, kNextDirectoryBytes, field); status != StatusOk)
            return status;
        ++result.pages;
        uint64_t pageEnd = 0;
        if (PluginStatus status = CheckDirectoryBounds(file, directory, entries, byteOrder, size, &pageEnd);
            status != StatusOk)
            return status;
        result.chainEnd = std::max(result.chainEnd, pageEnd);
        uint32_t next = GetLong(field, byteOrder);
        if (next == 0) {
            result.nextDirectoryField = static_cast<uint32_t>(nextDirectoryField);
            *end = result;
            return StatusOk;
        }
        previous = directory;
        directory = next;
    }
}

bool TailIsUnfinishedAppend(const ChainEnd& end, uint64_t base) {
    return end.fileSize > base && end.chainEnd <= base && base - end.chainEnd <= 1;
}
