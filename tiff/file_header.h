// The 8 bytes a TIFF file starts with: the byte-order mark, the magic number
// and the offset of the first directory, which follows the header directly.
#pragma once

#include <cstdint>

#include "tiff/byte_order.h"

inline constexpr uint32_t kHeaderBytes = 8;
inline constexpr uint16_t kTiffMagic = 42;
inline constexpr uint32_t kFirstDirectoryOffset = kHeaderBytes;

struct TiffHeader {
    uint16_t byteOrder;       // ByteOrderIntel ("II") or ByteOrderMotorola ("MM")
    uint16_t magic;           // kTiffMagic
    uint32_t firstDirectory;  // kFirstDirectoryOffset
};

// The header of a file written in `byteOrder`: any order other than Intel's
// is Motorola's, as the stores write it.
inline TiffHeader HeaderFor(int32_t byteOrder) {
    const int32_t mark = byteOrder == ByteOrderIntel ? ByteOrderIntel : ByteOrderMotorola;
    return {static_cast<uint16_t>(mark), kTiffMagic, kFirstDirectoryOffset};
}
