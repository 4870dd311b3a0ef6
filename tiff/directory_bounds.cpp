#include "tiff/directory_bounds.h"

#include <algorithm>

#include "tiff/byte_order.h"
#include "tiff/directory_entry.h"
#include "tiff/file_header.h"

namespace {

constexpr uint16_t kTagTileOffsets = 324;
constexpr uint16_t kTagTileByteCounts = 325;
// IFD (13), from the TIFF technical notes, is the last type a classic TIFF
// may hold.
constexpr uint16_t kLastFieldType = 13;
// Offsets and counts, and entries, are read this many at a time.
constexpr uint32_t kValuesPerRead = 512;
constexpr uint32_t kEntriesPerRead = 64;

// Bytes per value of a field type; 0 for a type TIFF does not define.
uint32_t TypeBytes(uint16_t type) {
    static constexpr uint8_t kBytes[kLastFieldType + 1] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type <= kLastFieldType ? kBytes[type] : 0;
}

// One entry as the file holds it.
struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint64_t valuePosition = 0;  // where its values are: inline in the entry or in its value area
};

// An array of offsets or of byte counts (SHORT or LONG).
struct ArrayField {
    bool present = false;
    Entry entry;
};

bool IsArrayType(uint16_t type) { return type == TypeShort || type == TypeLong; }

// Reads values [first, first + count) of a SHORT or LONG array.
PluginStatus ReadValues(ChainReader& file, const Entry& entry, int32_t byteOrder, uint32_t first, uint32_t count,
                        uint32_t* values) {
    const uint32_t width = TypeBytes(entry.type);
    uint8_t bytes[kValuesPerRead * 4];
    PluginStatus status = file.ReadAt(entry.valuePosition + uint64_t{first} * width, count * width, bytes);
    if (status != StatusOk) return status;
    for (uint32_t i = 0; i < count; ++i)
        values[i] = width == 2 ? GetShort(bytes + 2 * i, byteOrder) : GetLong(bytes + 4 * i, byteOrder);
    return StatusOk;
}

// Every piece (strip or tile) lies within the file; `end` grows to the last.
PluginStatus CheckPieces(ChainReader& file, const ArrayField& offsets, const ArrayField& counts, int32_t byteOrder,
                         uint64_t size, uint64_t* end) {
    if (!offsets.present && !counts.present) return StatusOk;
    if (!offsets.present || !counts.present || offsets.entry.count != counts.entry.count ||
        !IsArrayType(offsets.entry.type) || !IsArrayType(counts.entry.type))
        return StatusNotAppendable;
    uint32_t starts[kValuesPerRead], lengths[kValuesPerRead];
    for (uint32_t first = 0; first < offsets.entry.count; first += kValuesPerRead) {
        const uint32_t count = std::min(kValuesPerRead, offsets.entry.count - first);
        PluginStatus status = ReadValues(file, offsets.entry, byteOrder, first, count, starts);
        if (status == StatusOk) status = ReadValues(file, counts.entry, byteOrder, first, count, lengths);
        if (status != StatusOk) return status;
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t pieceEnd = uint64_t{starts[i]} + lengths[i];
            if (pieceEnd > size) return StatusNotAppendable;
            *end = std::max(*end, pieceEnd);
        }
    }
    return StatusOk;
}

// Decodes the entry `bytes` read at `position`; StatusNotAppendable when its
// type is not TIFF's or its value area passes the end of the file.
PluginStatus DecodeEntry(const uint8_t* bytes, uint64_t position, int32_t byteOrder, uint64_t size, Entry* entry,
                         uint64_t* end) {
    entry->tag = GetShort(bytes, byteOrder);
    entry->type = GetShort(bytes + 2, byteOrder);
    entry->count = GetLong(bytes + 4, byteOrder);
    const uint32_t width = TypeBytes(entry->type);
    if (width == 0) return StatusNotAppendable;
    const uint64_t valueBytes = uint64_t{width} * entry->count;
    entry->valuePosition = position + 8;
    if (valueBytes <= 4) return StatusOk;
    entry->valuePosition = GetLong(bytes + 8, byteOrder);
    const uint64_t valueEnd = entry->valuePosition + valueBytes;
    if (valueEnd > size) return StatusNotAppendable;
    *end = std::max(*end, valueEnd);
    return StatusOk;
}

}  // namespace

PluginStatus CheckDirectoryBounds(ChainReader& file, uint64_t directory, uint16_t entries, int32_t byteOrder,
                                  uint64_t size, uint64_t* end) {
    *end = directory + kEntryCountBytes + uint64_t{kEntryBytes} * entries + kNextDirectoryBytes;
    ArrayField stripOffsets, stripCounts, tileOffsets, tileCounts;
    uint8_t bytes[kEntriesPerRead * kEntryBytes];
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t position = directory + kEntryCountBytes + uint64_t{kEntryBytes} * i;
        const uint32_t inRead = i % kEntriesPerRead;
        if (inRead == 0) {
            const uint32_t count = std::min<uint32_t>(kEntriesPerRead, entries - i);
            if (PluginStatus status = file.ReadAt(position, count * kEntryBytes, bytes); status != StatusOk)
                return status;
        }
        Entry entry;
        PluginStatus status = DecodeEntry(bytes + inRead * kEntryBytes, position, byteOrder, size, &entry, end);
        if (status != StatusOk) return status;
        ArrayField* field = entry.tag == TagStripOffsets      ? &stripOffsets
                            : entry.tag == TagStripByteCounts ? &stripCounts
                            : entry.tag == kTagTileOffsets    ? &tileOffsets
                            : entry.tag == kTagTileByteCounts ? &tileCounts
                                                              : nullptr;
        if (field != nullptr) *field = {true, entry};
    }
    PluginStatus status = CheckPieces(file, stripOffsets, stripCounts, byteOrder, size, end);
    return status == StatusOk ? CheckPieces(file, tileOffsets, tileCounts, byteOrder, size, end) : status;
}
