// The bytes a TIFF file starts with: the byte-order mark, the magic number
// and the offset of the first directory, which follows the header directly.
// A BigTIFF header also names its offsets' size (8) and a reserved 0, and
// its first-directory offset is 8 bytes wide.
#pragma once

#include <cstdint>

#include "tiff/byte_order.h"
#include "tiff/tiff_flavour.h"

inline constexpr uint32_t kHeaderBytes = 8;
inline constexpr uint16_t kTiffMagic = 42;
inline constexpr uint32_t kFirstDirectoryOffset = kHeaderBytes;
// Where a header holds its first-directory offset.
inline constexpr uint32_t FirstDirectoryField(TiffFlavour flavour) { return flavour == TiffFlavour::Big ? 8 : 4; }

struct TiffHeader {
    uint16_t byteOrder;       // ByteOrderIntel ("II") or ByteOrderMotorola ("MM")
    uint16_t magic;           // kTiffMagic
    uint32_t firstDirectory;  // kFirstDirectoryOffset
    TiffFlavour flavour = TiffFlavour::Classic;
};

// The header of a file written in `byteOrder`: any order other than Intel's
// is Motorola's, as the stores write it.
inline TiffHeader HeaderFor(int32_t byteOrder, TiffFlavour flavour = TiffFlavour::Classic) {
    const int32_t mark = byteOrder == ByteOrderIntel ? ByteOrderIntel : ByteOrderMotorola;
    const TiffFrame& frame = FrameOf(flavour);
    return {static_cast<uint16_t>(mark), frame.magic, frame.headerBytes, flavour};
}

// Writes the header's FrameOf(flavour).headerBytes bytes, with
// `firstDirectory` as its first-directory offset.
inline void EncodeHeader(uint8_t* destination, const TiffHeader& header, uint64_t firstDirectory) {
    const int32_t order = header.byteOrder;
    PutShort(destination, header.byteOrder, ByteOrderIntel);  // "II" or "MM" either way
    PutShort(destination + 2, header.magic, order);
    if (header.flavour == TiffFlavour::Big) {
        PutShort(destination + 4, 8, order);  // the size of an offset
        PutShort(destination + 6, 0, order);
    }
    const uint32_t field = FirstDirectoryField(header.flavour);
    PutUnsigned(destination + field, firstDirectory, FrameOf(header.flavour).nextDirectoryBytes, order);
}
