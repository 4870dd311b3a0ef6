#include "tiff/directory_entry.h"

#include "tiff/byte_order.h"

bool ReadSingleValue(const uint8_t* entry, uint16_t tag, int32_t byteOrder, uint32_t* value) {
    if (GetShort(entry, byteOrder) != tag || GetLong(entry + 4, byteOrder) != 1) return false;
    const uint16_t type = GetShort(entry + 2, byteOrder);
    if (type == TypeShort)
        *value = GetShort(entry + 8, byteOrder);
    else if (type == TypeLong)
        *value = GetLong(entry + 8, byteOrder);
    else
        return false;
    return true;
}
