// Which plug-in image layout each source image becomes.
#pragma once

#include <cstdint>
#include <string>

#include "host/image.h"

// A page as the host describes it to the plug-in: the ScanImage triple and
// the image with its samples at the page's depth.
struct ScanPage {
    uint32_t bitsPerPixel = 0;
    uint32_t samplesPerPixel = 0;
    uint32_t colorKind = 0;
    Image image;  // kind and bits match the triple: 16/8 bits per sample, 4-bit grey or palette, 1-bit

    std::string Describe() const;  // "24-bit RGB", "4-bit palette", ...
};

struct MappingOptions {
    bool palette4WhenSmall = false;  // palettes of up to 16 colours as 4-bit palette pages
};

// Maps a source image to a page layout the plug-in writes. 2-bit grey is
// expanded to 4 bits, 1- and 2-bit palettes become 4-bit palette pages.
// Takes the image by value: its samples move into the page.
ScanPage MapToScanPage(Image image, const MappingOptions& options);
