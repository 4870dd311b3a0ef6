// Turns a row of samples as a source delivers it into a row of the page as
// the plug-in takes it (see scan_layout.h): 8-bit samples as they are,
// 16-bit samples low byte first, 4-bit samples two to a byte (the unused low
// half of an odd row's last byte clear), black and white rows 1 = white with
// the unused low bits of the last byte set. Wherever the row keeps its size
// it is converted where it lies, so that sources read straight into the band.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/format_mapping.h"

enum class SampleEncoding {
    Bytes,           // one byte per sample
    BigEndian16,     // two bytes per sample, high byte first
    LittleEndian16,  // two bytes per sample, low byte first
    BitsOneIsBlack,  // one bit per pixel, the leftmost in the high bit, 1 = black
    BitsOneIsWhite,  // the same with 1 = white
};

struct SampleFormat {
    SampleEncoding encoding = SampleEncoding::Bytes;
    uint32_t maxval = 255;  // the largest valid sample
    bool scaled = true;     // maxval is full intensity, spread over the page's depth; false: palette indices
};

class RowPacker {
public:
    RowPacker() = default;
    // Throws std::logic_error for a source that cannot become the page.
    RowPacker(const ScanPage& page, const SampleFormat& source);

    size_t SourceRowBytes() const { return sourceRowBytes_; }

    // The source row is laid out where it lies: read it straight to `out`.
    bool InPlace() const { return method_ != Method::Nibbles && method_ != Method::BitsFromBytes; }

    // Lays out one source row at `out` (`source` may be `out` when InPlace).
    // False with `bad` set to the first sample above maxval.
    bool Pack(const uint8_t* source, uint8_t* out, uint32_t& bad) const;

private:
    enum class Method { Bits, Bytes, Wide, Nibbles, BitsFromBytes };

    bool PackBytes(const uint8_t* source, uint8_t* out, uint32_t& bad) const;
    bool PackWide(const uint8_t* source, uint8_t* out, uint32_t& bad) const;
    bool PackNibbles(const uint8_t* source, uint8_t* out, uint32_t& bad) const;
    bool PackBitsFromBytes(const uint8_t* source, uint8_t* out, uint32_t& bad) const;
    void PackBits(const uint8_t* source, uint8_t* out) const;

    Method method_ = Method::Bytes;
    uint32_t width_ = 0;
    size_t samples_ = 0;  // per row
    size_t sourceRowBytes_ = 0;
    uint32_t maxval_ = 255;
    bool identity_ = true;        // samples keep their values
    bool lowFirst_ = false;       // Wide: the source's samples are low byte first
    uint8_t invert_ = 0;          // Bits: 0xFF when 1 is black
    uint8_t narrow_[256] = {};    // Bytes, Nibbles, BitsFromBytes: sample -> page value
    std::vector<uint16_t> wide_;  // Wide, scaled: sample -> page value
};
