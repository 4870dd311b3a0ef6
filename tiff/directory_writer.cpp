#include "tiff/directory_writer.h"

#include <cstring>

#include "tiff/byte_order.h"

namespace {

// Bytes of one value of a TIFF type; 0 for types the plug-in never expands.
uint32_t ValueBytes(uint16_t type) {
    switch (type) {
        case TypeByte: case TypeAscii: case TypeSByte: case TypeUndefined: return 1;
        case TypeShort: case TypeSShort: return 2;
        case TypeLong: case TypeSLong: return 4;
        case TypeRational: case TypeSRational: return 8;
        default: return 0;
    }
}

// Whether the entry's values live out of line rather than in its value field.
bool IsOutOfLine(const DirectoryEntry& entry) {
    switch (ValueBytes(entry.type)) {
        case 1: return entry.count >= 2;
        case 2: return entry.count >= 3;
        case 4: return entry.count >= 2;
        case 8: return entry.count >= 1;
        default: return false;
    }
}

void EncodeValueField(uint8_t* destination, const DirectoryEntry& entry, int32_t byteOrder) {
    std::memset(destination, 0, 4);
    uint32_t width = ValueBytes(entry.type);
    bool floating = entry.type == TypeFloat || entry.type == TypeDouble;
    if (IsOutOfLine(entry) || width == 4 || floating) {
        PutLong(destination, entry.value, byteOrder);
    } else if (width == 1) {
        PutByte(destination, entry.value);
    } else if (width == 2) {
        PutShort(destination, entry.value, byteOrder);
        if (entry.count == 2) PutShort(destination + 2, entry.value >> 16, byteOrder);
    }
}

// Free space is compared as a signed count; "unknown" (all ones) passes.
bool HasRoom(uint64_t freeSpace, uint64_t bytes) {
    if (freeSpace == kFreeSpaceUnknown) return true;
    return static_cast<int64_t>(freeSpace) >= static_cast<int64_t>(bytes);
}

// Converts one staged value (machine order) of 1, 2 or 4 bytes.
void StoreValue(uint8_t* destination, const uint8_t* source, uint32_t width, int32_t byteOrder) {
    if (width == 1) {
        PutByte(destination, source[0]);
    } else if (width == 2) {
        uint16_t value;
        std::memcpy(&value, source, 2);
        PutShort(destination, value, byteOrder);
    } else {
        uint32_t value;
        std::memcpy(&value, source, 4);
        PutLong(destination, value, byteOrder);
    }
}

// Writes one entry's out-of-line values, converted to the file's order.
PluginStatus WriteValueArea(FileHandle& file, const StagedDirectory& directory, const DirectoryEntry& entry,
                            int32_t byteOrder) {
    uint32_t width = ValueBytes(entry.type);
    uint64_t bytes = uint64_t{entry.count} * width;
    if (entry.value < directory.entryBase) return StatusWriteFailed;
    uint64_t start = uint64_t{entry.value} - directory.entryBase;
    if (start + bytes > directory.stagingBytes) return StatusWriteFailed;

    const uint8_t* source = directory.staging + start;
    uint8_t chunk[512];
    uint32_t filled = 0;
    uint32_t storeWidth = width == 8 ? 4 : width;  // a rational is two LONGs
    for (uint64_t done = 0; done < bytes; done += storeWidth) {
        StoreValue(chunk + filled, source + done, storeWidth, byteOrder);
        filled += storeWidth;
        if (filled == sizeof(chunk)) {
            if (PluginStatus status = file.Write(filled, chunk); status != StatusOk) return status;
            filled = 0;
        }
    }
    if (filled == 0) return StatusOk;
    return file.Write(filled, chunk);
}

}  // namespace

void EncodeEntry(uint8_t* destination, const DirectoryEntry& entry, int32_t byteOrder) {
    PutShort(destination, entry.tag, byteOrder);
    PutShort(destination + 2, entry.type, byteOrder);
    PutLong(destination + 4, entry.count, byteOrder);
    EncodeValueField(destination + 8, entry, byteOrder);
}

PluginStatus WriteDirectory(FileHandle& file, const StagedDirectory& directory, const TiffHeader* header,
                            int32_t byteOrder, const char* freeSpacePath) {
    uint64_t freeSpace = FreeSpace(freeSpacePath);
    uint8_t scratch[12];
    PluginStatus status = StatusOk;

    if (header != nullptr) {
        PutShort(scratch, header->byteOrder, byteOrder);
        PutShort(scratch + 2, header->magic, byteOrder);
        PutLong(scratch + 4, header->firstDirectory, byteOrder);
        if (!HasRoom(freeSpace, 8)) return StatusDiskFull;
        if ((status = file.Write(8, scratch)) != StatusOk) return status;
    }

    PutShort(scratch, directory.entryCount, byteOrder);
    if (!HasRoom(freeSpace, 2)) return StatusDiskFull;
    if ((status = file.Write(2, scratch)) != StatusOk) return status;

    uint64_t entryBytes = 12 * uint64_t{directory.entryCount};
    if (entryBytes + 4 > directory.stagingBytes) return StatusWriteFailed;
    if (!HasRoom(freeSpace, entryBytes)) return StatusDiskFull;
    for (uint32_t i = 0; i < directory.entryCount; ++i) {
        DirectoryEntry entry;
        std::memcpy(&entry, directory.staging + 12 * i, sizeof(entry));
        EncodeEntry(scratch, entry, byteOrder);
        if ((status = file.Write(12, scratch)) != StatusOk) return status;
    }

    std::memset(scratch, 0, 4);  // next-directory offset: none until a later page is appended
    if (!HasRoom(freeSpace, 4)) return StatusDiskFull;
    if ((status = file.Write(4, scratch)) != StatusOk) return status;

    for (uint32_t i = 0; i < directory.entryCount; ++i) {
        DirectoryEntry entry;
        std::memcpy(&entry, directory.staging + 12 * i, sizeof(entry));
        if (!IsOutOfLine(entry)) continue;
        if ((status = WriteValueArea(file, directory, entry, byteOrder)) != StatusOk) return status;
    }
    return StatusOk;
}
