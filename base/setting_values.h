// The values of the user's two settings as the registry keeps them ("File
// Type" and "Compression"), and what a job uses while none is stored. The
// settings dialog, the job's state, the page's bytes and the host all speak
// of them, so they are defined once, below every layer.
#pragma once

#include <cstdint>

// The byte order of a file; any value other than Intel's is written
// big-endian.
enum : int32_t {
    ByteOrderIntel = 18761,     // "II", little-endian
    ByteOrderMotorola = 19789,  // "MM", big-endian
};

// The compression of black-and-white pages; other pages are never
// compressed.
enum : int32_t {
    CompressionNone = 1,
    CompressionGroup4 = 4,
};

inline constexpr int32_t kDefaultByteOrder = ByteOrderIntel;
inline constexpr int32_t kDefaultCompression = CompressionNone;
