// Turns one band of host rows into rows of the page's uncompressed strip.
//
// Host rows are padded to 4 bytes (palette-8 rows are not; bilevel rows lie
// `rowBytes` apart); strip rows follow each other without padding. 16-bit
// samples come low byte first and are written in the file's byte order
// (tiff/byte_order.h: IsBigEndian).
#pragma once

#include <cstdint>

struct BandSource {
    const uint8_t* pixels;     // first byte of the band's first row
    uint32_t width;            // pixels per row
    uint32_t rows;             // rows in the band
    uint32_t bilevelRowBytes;  // bytes from row to row of a bilevel band
};

// Bytes from the start of one host row to the next.
uint64_t SourceRowStride(int32_t format, uint32_t width, uint32_t bilevelRowBytes);

// Bytes the converted band occupies in the strip.
uint64_t ConvertedBandBytes(int32_t format, uint32_t width, uint32_t rows);

// Where the band's first row starts, relative to `pixels`: the first band of
// a palette-4 page carries 32 leading bytes before its pixels.
uint32_t FirstRowOffset(int32_t format, uint32_t bandCount);

// Converts the band into `strip`, which has ConvertedBandBytes bytes and is
// zero-filled. Formats without a converter leave it untouched.
void ConvertBand(int32_t format, const BandSource& band, int32_t byteOrder, uint8_t* strip);

// The row converters, one strip row from one host row.
void ConvertSamples16Row(const uint8_t* source, uint32_t samples, int32_t byteOrder, uint8_t* strip);
void CopyRow(const uint8_t* source, uint32_t bytes, uint8_t* strip);
void Convert4BitRow(const uint8_t* source, uint32_t width, uint8_t* strip);
void ConvertBilevelRow(const uint8_t* source, uint32_t width, uint8_t* strip);
