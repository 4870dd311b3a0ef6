#include "tiff/directory_entry.h"

#include <cstring>

#include "tiff/byte_order.h"

void StageEntry(uint8_t* staged, const DirectoryEntry& entry, TiffFlavour flavour) {
    std::memcpy(staged, &entry.tag, 2);
    std::memcpy(staged + 2, &entry.type, 2);
    if (flavour == TiffFlavour::Big) {
        const uint64_t count = entry.count;
        std::memcpy(staged + 4, &count, 8);
        std::memcpy(staged + 12, &entry.value, 8);
    } else {
        const auto value = static_cast<uint32_t>(entry.value);
        std::memcpy(staged + 4, &entry.count, 4);
        std::memcpy(staged + 8, &value, 4);
    }
}

DirectoryEntry StagedEntryAt(const uint8_t* staged, TiffFlavour flavour) {
    DirectoryEntry entry{};
    std::memcpy(&entry.tag, staged, 2);
    std::memcpy(&entry.type, staged + 2, 2);
    if (flavour == TiffFlavour::Big) {
        uint64_t count = 0;
        std::memcpy(&count, staged + 4, 8);
        entry.count = static_cast<uint32_t>(count);
        std::memcpy(&entry.value, staged + 12, 8);
    } else {
        uint32_t value = 0;
        std::memcpy(&entry.count, staged + 4, 4);
        std::memcpy(&value, staged + 8, 4);
        entry.value = value;
    }
    return entry;
}

bool ReadSingleValue(const uint8_t* entry, uint16_t tag, int32_t byteOrder, uint32_t* value, TiffFlavour flavour) {
    uint64_t wide = 0;
    if (!ReadSingleValue(entry, tag, byteOrder, &wide, flavour) || wide > UINT32_MAX) return false;
    *value = static_cast<uint32_t>(wide);
    return true;
}

bool ReadSingleValue(const uint8_t* entry, uint16_t tag, int32_t byteOrder, uint64_t* value, TiffFlavour flavour) {
    const TiffFrame& frame = FrameOf(flavour);
    if (GetShort(entry, byteOrder) != tag || GetUnsigned(entry + 4, frame.countBytes, byteOrder) != 1) return false;
    const uint8_t* field = entry + 4 + frame.countBytes;
    const uint16_t type = GetShort(entry + 2, byteOrder);
    if (type == TypeShort) {
        *value = GetShort(field, byteOrder);
    } else if (type == TypeLong) {
        *value = GetLong(field, byteOrder);
    } else if (type == kTypeLong8 && flavour == TiffFlavour::Big) {
        *value = GetUnsigned(field, 8, byteOrder);
    } else {
        return false;
    }
    return true;
}
