// libtiff over bytes in memory: the independent reader the fuzz targets
// judge the plug-in's output by.
#pragma once

#include <cstdint>
#include <vector>

namespace fuzz {

using Bytes = std::vector<uint8_t>;

// Decodes a CCITT Group 4 strip of `height` rows of `width` pixels into
// rows of (width + 7) / 8 bytes, 1 = black, bits past the width cleared.
// False when libtiff reports an error.
bool DecodeG4Strip(const Bytes& strip, uint32_t width, uint32_t height, Bytes* rows);
// The same for a CCITT Group 3 strip of the given T4Options.
bool DecodeG3Strip(const Bytes& strip, uint32_t width, uint32_t height, uint32_t t4Options, Bytes* rows);

// An LZW or Deflate strip: its rows' shape, compression and predictor, and
// the byte order of the file around it (16-bit samples are coded in it).
struct CodedStrip {
    uint32_t width;
    uint32_t height;
    uint16_t bitsPerSample;
    uint16_t samplesPerPixel;
    uint16_t compression;  // 5 LZW, 8 Deflate, 32773 PackBits
    uint16_t predictor;    // 1 none, 2 horizontal
    bool bigEndian;
};

// Decodes a one-strip page into its rows as libtiff gives them (16-bit
// samples in the machine's order). False when libtiff reports an error.
bool DecodeCodedStrip(const Bytes& strip, const CodedStrip& format, Bytes* rows);

// Whether libtiff reads a one-page JPEG file of `width` x `height` pixels
// and decodes every strip (YCbCr converted to RGB, as viewers read it)
// without an error.
bool DecodesAsJpegPage(const Bytes& file, uint32_t width, uint32_t height);

// The number of pages of a TIFF file when libtiff reads every directory and
// decodes every page's strips without an error; -1 otherwise.
int ReadablePageCount(const Bytes& file);

}  // namespace fuzz
