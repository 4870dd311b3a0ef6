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
// ("Color Compression": None, LZW, Deflate, JPEG or PackBits; JPEG codes
// 8-bit grey and 24-bit colour pages, and the pages it does not suit (16-bit,
// 4-bit, palette) get Deflate, the best lossless coding). The values are those
// of the pages' Compression tag, but for two-dimensional Group 3: its pages
// share tag 3 with one-dimensional ones (T4Options tells them apart), so its
// setting is 3 beyond the 16 bits of any tag (CompressionTag).
enum : int32_t {
    CompressionNone = 1,
    CompressionGroup3OneD = 3,  // CCITT T.4, Modified Huffman
    CompressionGroup4 = 4,
    CompressionLzw = 5,
    CompressionJpeg = 7,     // JPEG pages: abbreviated streams, the tables in JPEGTables
    CompressionDeflate = 8,  // "Adobe Deflate": a zlib stream
    CompressionPackBits = 32773,
    CompressionGroup3TwoD = 0x10003,  // CCITT T.4, Modified READ
};

// The Compression tag of a page coded as `compression`.
inline constexpr uint16_t CompressionTag(int32_t compression) { return static_cast<uint16_t>(compression & 0xFFFF); }

// The kind of a new file ("BigTIFF"): classic TIFF, whose offsets are 32-bit
// and which ends at 4 GiB, or BigTIFF, whose 64-bit offsets leave the disk
// the only limit. A file keeps its kind: pages appended to it follow it.
enum : uint32_t {
    FileKindClassic = 0,
    FileKindBigTiff = 1,
};

inline constexpr int32_t kDefaultByteOrder = ByteOrderIntel;
inline constexpr uint32_t kDefaultFileKind = FileKindClassic;
inline constexpr int32_t kDefaultCompression = CompressionNone;
inline constexpr int32_t kDefaultColorCompression = CompressionNone;

// The quality of JPEG pages ("JPEG Quality", 1 to 100), read only for a page
// that is coded as JPEG; a value outside the range is the default.
inline constexpr uint32_t kDefaultJpegQuality = 90;
inline constexpr uint32_t kMinJpegQuality = 1;
inline constexpr uint32_t kMaxJpegQuality = 100;
// A Windows build made where the JPEG library could not be had
// (cmake/jpeg_library.cmake) codes no JPEG: JPEG settings give Deflate pages.
#ifdef ZEDUZ_WITHOUT_JPEG
inline constexpr bool kJpegPagesBuilt = false;
#else
inline constexpr bool kJpegPagesBuilt = true;
#endif
