// Which plug-in image layout each source image becomes.
#pragma once

#include <cstdint>
#include <string>

#include "host/image.h"

// A page as the host describes it to the plug-in: the ScanImage triple and
// the source image it is made of.
struct ScanPage {
    uint32_t bitsPerPixel = 0;
    uint32_t samplesPerPixel = 0;
    uint32_t colorKind = 0;
    ImageInfo image;  // the source's header; a 4-bit palette page keeps at most 16 colours

    uint32_t BitsPerSample() const { return bitsPerPixel / samplesPerPixel; }

    std::string Describe() const;  // "24-bit RGB", "4-bit palette", ...
};

struct MappingOptions {
    bool palette4WhenSmall = false;  // palettes of up to 16 colours as 4-bit palette pages
};

// Maps a source image to a page layout the plug-in writes. 2-bit grey
// becomes 4-bit grey, 1- and 2-bit palettes become 4-bit palette pages.
ScanPage MapToScanPage(const ImageInfo& image, const MappingOptions& options);
