#include "tiff/page_chain.h"

#include "tiff/byte_order.h"
#include "tiff/directory_entry.h"
#include "tiff/file_header.h"

namespace {

// The value of a one-value SHORT or LONG entry; false for anything else.
bool SingleValue(const uint8_t* entry, int32_t byteOrder, uint32_t* value) {
    uint16_t type = GetShort(entry + 2, byteOrder);
    if (GetLong(entry + 4, byteOrder) != 1) return false;
    if (type == TypeShort)
        *value = GetShort(entry + 8, byteOrder);
    else if (type == TypeLong)
        *value = GetLong(entry + 8, byteOrder);
    else
        return false;
    return true;
}

// Where the strip of a one-strip directory ends; 0 when it has no single strip.
PluginStatus StripEnd(ChainReader& file, uint64_t directory, uint16_t entries, int32_t byteOrder, uint64_t* end) {
    uint32_t offset = 0, bytes = 0;
    bool haveOffset = false, haveBytes = false;
    for (uint16_t i = 0; i < entries; ++i) {
        uint8_t entry[kEntryBytes];
        const uint64_t position = directory + kEntryCountBytes + uint64_t{kEntryBytes} * i;
        if (PluginStatus status = file.ReadAt(position, kEntryBytes, entry); status != StatusOk) return status;
        uint16_t tag = GetShort(entry, byteOrder);
        if (tag == TagStripOffsets) haveOffset = SingleValue(entry, byteOrder, &offset);
        if (tag == TagStripByteCounts) haveBytes = SingleValue(entry, byteOrder, &bytes);
    }
    *end = haveOffset && haveBytes ? uint64_t{offset} + bytes : 0;
    return StatusOk;
}

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

    ChainEnd result{0, 0, size, size + (size & 1)};
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
        uint32_t next = GetLong(field, byteOrder);
        if (next == 0) {
            uint64_t stripEnd = 0;
            if (PluginStatus status = StripEnd(file, directory, entries, byteOrder, &stripEnd); status != StatusOk)
                return status;
            if (stripEnd > size) return StatusNotAppendable;
            result.nextDirectoryField = static_cast<uint32_t>(nextDirectoryField);
            *end = result;
            return StatusOk;
        }
        previous = directory;
        directory = next;
    }
}
