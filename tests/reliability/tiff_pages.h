// Reads every page of a TIFF file with libtiff, as an independent reader
// sees it: the decoded pixels as 16-bit big-endian RGB, and anything libtiff
// complained about on the way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace reliability {

struct DecodedPage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb16;  // width * height pixels, R G B, 16 bits each, big-endian
};

struct TiffReading {
    bool opened = false;
    std::vector<DecodedPage> pages;
    std::string complaints;  // libtiff's errors and warnings, one per line
};

TiffReading ReadTiffPages(const std::string& path);

}  // namespace reliability
