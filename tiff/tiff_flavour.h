// Classic TIFF or BigTIFF: the one property that sets how wide a file's
// offsets are, and with it the sizes of its header and directories. Every
// layout, serialiser and reader takes the frame of its file's flavour rather
// than a layout of its own.
#pragma once

#include <cstdint>

enum class TiffFlavour : uint8_t {
    Classic,  // 32-bit offsets: header 8 bytes, 12-byte entries
    Big,      // 64-bit offsets: header 16 bytes, 20-byte entries
};

// LONG8 and IFD8, which only BigTIFF files hold.
inline constexpr uint16_t kTypeLong8 = 16;
inline constexpr uint16_t kTypeSLong8 = 17;
inline constexpr uint16_t kTypeIfd8 = 18;

struct TiffFrame {
    uint16_t magic;               // 42 or 43
    uint32_t headerBytes;         // the header, the first directory right after it
    uint32_t entryCountBytes;     // a directory's entry count
    uint32_t entryBytes;          // one entry: tag, type, count, value or offset
    uint32_t countBytes;          // an entry's count
    uint32_t nextDirectoryBytes;  // a directory's next-directory offset (also an entry's value field)
    uint16_t offsetType;          // the type of offsets and strip sizes: LONG or LONG8
    uint64_t offsetLimit;         // every offset, and so the file's size, stays below it
};

inline constexpr TiffFrame kClassicFrame{42, 8, 2, 12, 4, 4, 4, 0xFFFFFFFFu};
// The disk sets a BigTIFF file's size; the limit only keeps every sum of
// offsets and sizes far from overflow.
inline constexpr TiffFrame kBigFrame{43, 16, 8, 20, 8, 8, kTypeLong8, uint64_t{1} << 62};

inline constexpr const TiffFrame& FrameOf(TiffFlavour flavour) {
    return flavour == TiffFlavour::Big ? kBigFrame : kClassicFrame;
}
