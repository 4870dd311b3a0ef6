#include "tiff/pixel_convert.h"

#include <cstring>

#include "tiff/byte_order.h"
#include "tiff/image_format.h"

namespace {

// The first band of a palette-4 page carries these bytes before its pixels.
constexpr uint32_t kPalette4LeadingBytes = 32;

uint64_t PaddedStride(uint32_t width, uint32_t bitsPerPixel) { return (uint64_t{width} * bitsPerPixel + 31) / 32 * 4; }

}  // namespace

uint64_t SourceRowStride(int32_t format, uint32_t width, uint32_t bilevelRowBytes) {
    switch (format) {
        case FormatRgb48: return PaddedStride(width, 48);
        case FormatRgb24: return PaddedStride(width, 24);
        case FormatGray16: return PaddedStride(width, 16);
        case FormatGray8: return PaddedStride(width, 8);
        case FormatPalette8: return width;
        case FormatGray4:
        case FormatPalette4: return PaddedStride(width, 4);
        case FormatBilevel: return bilevelRowBytes;
        default: return 0;
    }
}

uint64_t ConvertedBandBytes(int32_t format, uint32_t width, uint32_t rows) {
    return StripRowBytes(format, width) * rows;
}

uint32_t FirstRowOffset(int32_t format, uint32_t bandCount) {
    return format == FormatPalette4 && bandCount == 0 ? kPalette4LeadingBytes : 0;
}

void ConvertSamples16Row(const uint8_t* source, uint32_t samples, int32_t byteOrder, uint8_t* strip) {
    if (!IsBigEndian(byteOrder)) {
        std::memcpy(strip, source, 2 * size_t{samples});
        return;
    }
    for (uint32_t i = 0; i < samples; ++i) {
        strip[2 * i] = source[2 * i + 1];
        strip[2 * i + 1] = source[2 * i];
    }
}

void CopyRow(const uint8_t* source, uint32_t bytes, uint8_t* strip) { std::memcpy(strip, source, bytes); }

void Convert4BitRow(const uint8_t* source, uint32_t width, uint8_t* strip) {
    uint32_t bytes = (width + 1) / 2;
    std::memcpy(strip, source, bytes);
    if (width % 2 != 0) strip[bytes - 1] &= 0xF0;  // no pixel in the last low nibble
}

void ConvertBilevelRow(const uint8_t* source, uint32_t width, uint8_t* strip) {
    uint32_t bytes = (width + 7) / 8;
    std::memcpy(strip, source, bytes);
    uint32_t usedBits = width % 8;
    if (usedBits != 0) strip[bytes - 1] &= static_cast<uint8_t>(0xFF << (8 - usedBits));
}

void ConvertBand(int32_t format, const BandSource& band, int32_t byteOrder, uint8_t* strip) {
    uint64_t stride = SourceRowStride(format, band.width, band.bilevelRowBytes);
    uint32_t stripRow = static_cast<uint32_t>(StripRowBytes(format, band.width));
    const uint8_t* source = band.pixels;
    for (uint32_t row = 0; row < band.rows; ++row, source += stride, strip += stripRow) {
        switch (format) {
            case FormatRgb48: ConvertSamples16Row(source, 3 * band.width, byteOrder, strip); break;
            case FormatGray16: ConvertSamples16Row(source, band.width, byteOrder, strip); break;
            case FormatRgb24:
            case FormatGray8:
            case FormatPalette8: CopyRow(source, stripRow, strip); break;
            case FormatGray4:
            case FormatPalette4: Convert4BitRow(source, band.width, strip); break;
            case FormatBilevel: ConvertBilevelRow(source, band.width, strip); break;
            default: return;
        }
    }
}
