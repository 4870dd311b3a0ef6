// The values of the user's settings as the registry keeps them ("File Type",
// "Compression" and "Color Compression"), and what a job uses while none is
// stored. The settings dialog, the job's state, the page's bytes and the host
// all speak of them, so they are defined once, below every layer.
#pragma once

#include <cstdint>

// The byte order of a file; any value other than Intel's is written
// big-endian.
enum : int32_t {
    ByteOrderIntel = 18761,     // "II", little-endian
    ByteOrderMotorola = 19789,  // "MM", big-endian
};

// The compression of black-and-white pages ("Compression": None, Group 4,
// Group 3 one- or two-dimensional, or PackBits) and of every other page
// ("Color Compression": None, LZW, Deflate or PackBits). The values are those
// of the pages' Compression tag, but for two-dimensional Group 3: its pages
// share tag 3 with one-dimensional ones (T4Options tells them apart), so its
// setting is 3 beyond the 16 bits of any tag (CompressionTag).
enum : int32_t {
    CompressionNone = 1,
    CompressionGroup3OneD = 3,  // CCITT T.4, Modified Huffman
    CompressionGroup4 = 4,
    CompressionLzw = 5,
    CompressionDeflate = 8,  // "Adobe Deflate": a zlib stream
    CompressionPackBits = 32773,
    CompressionGroup3TwoD = 0x10003,  // CCITT T.4, Modified READ
};

// The Compression tag of a page coded as `compression`.
inline constexpr uint16_t CompressionTag(int32_t compression) { return static_cast<uint16_t>(compression & 0xFFFF); }

inline constexpr int32_t kDefaultByteOrder = ByteOrderIntel;
inline constexpr int32_t kDefaultCompression = CompressionNone;
inline constexpr int32_t kDefaultColorCompression = CompressionNone;
