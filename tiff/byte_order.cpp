#include "tiff/byte_order.h"

namespace {

bool IsIntel(int32_t byteOrder) { return !IsBigEndian(byteOrder); }

}  // namespace

void PutLong(uint8_t* destination, uint32_t value, int32_t byteOrder) {
    for (int i = 0; i < 4; ++i) {
        int shift = IsIntel(byteOrder) ? 8 * i : 8 * (3 - i);
        destination[i] = static_cast<uint8_t>(value >> shift);
    }
}

void PutShort(uint8_t* destination, uint32_t value, int32_t byteOrder) {
    uint8_t low = static_cast<uint8_t>(value);
    uint8_t high = static_cast<uint8_t>(value >> 8);
    destination[0] = IsIntel(byteOrder) ? low : high;
    destination[1] = IsIntel(byteOrder) ? high : low;
}

void PutByte(uint8_t* destination, uint32_t value) { destination[0] = static_cast<uint8_t>(value); }

uint32_t GetLong(const uint8_t* source, int32_t byteOrder) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        int shift = IsIntel(byteOrder) ? 8 * i : 8 * (3 - i);
        value |= static_cast<uint32_t>(source[i]) << shift;
    }
    return value;
}

uint16_t GetShort(const uint8_t* source, int32_t byteOrder) {
    return IsIntel(byteOrder) ? static_cast<uint16_t>(source[0] | (source[1] << 8))
                              : static_cast<uint16_t>((source[0] << 8) | source[1]);
}

void PutUnsigned(uint8_t* destination, uint64_t value, uint32_t bytes, int32_t byteOrder) {
    for (uint32_t i = 0; i < bytes; ++i) {
        const uint32_t shift = IsIntel(byteOrder) ? 8 * i : 8 * (bytes - 1 - i);
        destination[i] = static_cast<uint8_t>(value >> shift);
    }
}

uint64_t GetUnsigned(const uint8_t* source, uint32_t bytes, int32_t byteOrder) {
    uint64_t value = 0;
    for (uint32_t i = 0; i < bytes; ++i) {
        const uint32_t shift = IsIntel(byteOrder) ? 8 * i : 8 * (bytes - 1 - i);
        value |= uint64_t{source[i]} << shift;
    }
    return value;
}
