// What the message of a failed command says beyond its status: that a
// classic file cannot hold the document past 4 GiB where a BigTIFF file
// would, or that a file is not continued because it is of the other flavour
// than the settings ask (an append never converts a file).
#pragma once

#include <cstdint>

#include "tiff/tiff_flavour.h"

enum class FailureNote : uint8_t {
    None,
    ClassicFileFull,  // StatusWriteFailed: the classic file's 4 GiB are reached
    FileIsClassic,    // StatusNotAppendable: BigTIFF asked, the file is classic
    FileIsBigTiff,    // StatusNotAppendable: classic asked, the file is BigTIFF
};

// The largest size a file of the flavour may reach: below its offset limit.
inline constexpr uint64_t LargestFileSize(TiffFlavour flavour) { return FrameOf(flavour).offsetLimit - 1; }
