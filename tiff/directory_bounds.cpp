#include "tiff/directory_bounds.h"

#include <algorithm>

#include "tiff/byte_order.h"
#include "tiff/directory_entry.h"
#include "tiff/file_header.h"

namespace {

constexpr uint16_t kTagTileOffsets = 324;
constexpr uint16_t kTagTileByteCounts = 325;
// IFD (13), from the TIFF technical notes, is the last type a classic TIFF
// may hold; IFD8 (18) the last of a BigTIFF file.
constexpr uint16_t kLastClassicType = 13;
constexpr uint16_t kLastFieldType = kTypeIfd8;
// Offsets and counts, and entries, are read this many at a time.
constexpr uint32_t kValuesPerRead = 512;
constexpr uint32_t kEntriesPerRead = 64;

// Bytes per value of a field type; 0 for a type the file's flavour does
// not define.
uint32_t TypeBytes(uint16_t type, TiffFlavour flavour) {
    static constexpr uint8_t kBytes[kLastFieldType + 1] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8};
    const uint16_t last = flavour == TiffFlavour::Big ? kLastFieldType : kLastClassicType;
    return type <= last ? kBytes[type] : 0;
}

// One entry as the file holds it.
struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t width = 0;  // bytes per value
    uint64_t count = 0;
    uint64_t valuePosition = 0;  // where its values are: inline in the entry or in its value area
};

// An array of offsets or of byte counts (SHORT, LONG or LONG8).
struct ArrayField {
    bool present = false;
    Entry entry;
};

bool IsArrayType(uint16_t type) { return type == TypeShort || type == TypeLong || type == kTypeLong8; }

// Reads values [first, first + count) of a SHORT, LONG or LONG8 array.
PluginStatus ReadValues(ChainReader& file, const Entry& entry, int32_t byteOrder, uint64_t first, uint32_t count,
                        uint64_t* values) {
    const uint32_t width = entry.width;
    uint8_t bytes[kValuesPerRead * 8];
    PluginStatus status = file.ReadAt(entry.valuePosition + first * width, count * width, bytes);
    if (status != StatusOk) return status;
    for (uint32_t i = 0; i < count; ++i) values[i] = GetUnsigned(bytes + width * i, width, byteOrder);
    return StatusOk;
}

// Every piece (strip or tile) lies within the file; `end` grows to the last.
PluginStatus CheckPieces(ChainReader& file, const ArrayField& offsets, const ArrayField& counts, int32_t byteOrder,
                         uint64_t size, uint64_t* end) {
    if (!offsets.present && !counts.present) return StatusOk;
    if (!offsets.present || !counts.present || offsets.entry.count != counts.entry.count ||
        !IsArrayType(offsets.entry.type) || !IsArrayType(counts.entry.type))
        return StatusNotAppendable;
    uint64_t starts[kValuesPerRead], lengths[kValuesPerRead];
    for (uint64_t first = 0; first < offsets.entry.count; first += kValuesPerRead) {
        const auto count = static_cast<uint32_t>(std::min<uint64_t>(kValuesPerRead, offsets.entry.count - first));
        PluginStatus status = ReadValues(file, offsets.entry, byteOrder, first, count, starts);
        if (status == StatusOk) status = ReadValues(file, counts.entry, byteOrder, first, count, lengths);
        if (status != StatusOk) return status;
        for (uint32_t i = 0; i < count; ++i) {
            // Offsets below the size cannot overflow in the sum.
            if (starts[i] > size || lengths[i] > size - starts[i]) return StatusNotAppendable;
            const uint64_t pieceEnd = starts[i] + lengths[i];
            *end = std::max(*end, pieceEnd);
        }
    }
    return StatusOk;
}

// Decodes the entry `bytes` read at `position`; StatusNotAppendable when its
// type is not TIFF's or its value area passes the end of the file.
PluginStatus DecodeEntry(const uint8_t* bytes, uint64_t position, int32_t byteOrder, uint64_t size, TiffFlavour flavour,
                         Entry* entry, uint64_t* end) {
    const TiffFrame& frame = FrameOf(flavour);
    entry->tag = GetShort(bytes, byteOrder);
    entry->type = GetShort(bytes + 2, byteOrder);
    entry->count = GetUnsigned(bytes + 4, frame.countBytes, byteOrder);
    entry->width = TypeBytes(entry->type, flavour);
    if (entry->width == 0 || entry->count > size) return StatusNotAppendable;  // no more values than bytes
    const uint64_t valueBytes = entry->width * entry->count;
    const uint32_t field = 4 + frame.countBytes;
    entry->valuePosition = position + field;
    if (valueBytes <= frame.nextDirectoryBytes) return StatusOk;
    entry->valuePosition = GetUnsigned(bytes + field, frame.nextDirectoryBytes, byteOrder);
    if (entry->valuePosition > size || valueBytes > size - entry->valuePosition) return StatusNotAppendable;
    *end = std::max(*end, entry->valuePosition + valueBytes);
    return StatusOk;
}

}  // namespace

PluginStatus CheckDirectoryBounds(ChainReader& file, const DirectoryAt& directory, int32_t byteOrder, uint64_t size,
                                  uint64_t* end) {
    const TiffFrame& frame = FrameOf(directory.flavour);
    const uint32_t entries = directory.entries;
    const uint64_t firstEntry = directory.offset + frame.entryCountBytes;
    *end = firstEntry + uint64_t{frame.entryBytes} * entries + frame.nextDirectoryBytes;
    ArrayField stripOffsets, stripCounts, tileOffsets, tileCounts;
    uint8_t bytes[kEntriesPerRead * kBigFrame.entryBytes];
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t position = firstEntry + uint64_t{frame.entryBytes} * i;
        const uint32_t inRead = i % kEntriesPerRead;
        if (inRead == 0) {
            const uint32_t count = std::min<uint32_t>(kEntriesPerRead, entries - i);
            if (PluginStatus status = file.ReadAt(position, count * frame.entryBytes, bytes); status != StatusOk)
                return status;
        }
        Entry entry;
        PluginStatus status =
            DecodeEntry(bytes + inRead * frame.entryBytes, position, byteOrder, size, directory.flavour, &entry, end);
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
