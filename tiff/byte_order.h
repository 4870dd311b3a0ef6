// Byte-order aware stores for the header and directory values of a page.
//
// A file is either Intel ("II", little-endian) or Motorola ("MM",
// big-endian); any order value other than Intel's is written big-endian.
#pragma once

#include <cstdint>

#include "base/setting_values.h"

// The one test of a byte order value: Intel's is little-endian, any other
// big-endian, for directory values and 16-bit samples alike.
inline bool IsBigEndian(int32_t byteOrder) { return byteOrder != ByteOrderIntel; }

void PutLong(uint8_t* destination, uint32_t value, int32_t byteOrder);
// Stores the low 16 bits of `value`.
void PutShort(uint8_t* destination, uint32_t value, int32_t byteOrder);
void PutByte(uint8_t* destination, uint32_t value);
// Stores the low `bytes` (1, 2, 4 or 8) bytes of `value`: offsets and
// counts whose width follows the file's flavour.
void PutUnsigned(uint8_t* destination, uint64_t value, uint32_t bytes, int32_t byteOrder);

// The reverse of the stores, for reading back a file's own values.
uint32_t GetLong(const uint8_t* source, int32_t byteOrder);
uint16_t GetShort(const uint8_t* source, int32_t byteOrder);
uint64_t GetUnsigned(const uint8_t* source, uint32_t bytes, int32_t byteOrder);
