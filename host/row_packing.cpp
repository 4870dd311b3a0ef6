#include "host/row_packing.h"

#include <cstring>
#include <stdexcept>

namespace {

// `value` of 0..maxval spread over 0..top, rounded, so that black stays
// black and full intensity stays full.
uint32_t Scale(uint32_t value, uint32_t maxval, uint32_t top) {
    return static_cast<uint32_t>((static_cast<uint64_t>(value) * top + maxval / 2) / maxval);
}

// The unused low bits of a black and white row's last byte are set: the
// plug-in must clear them.
void SetUnusedBits(uint8_t* row, uint32_t width) {
    if (width % 8 != 0) {
        row[(width + 7) / 8 - 1] |= static_cast<uint8_t>(0xFF >> (width % 8));
    }
}

}  // namespace

RowPacker::RowPacker(const ScanPage& page, const SampleFormat& source)
    : width_(page.image.width),
      samples_(static_cast<size_t>(page.image.width) * page.samplesPerPixel),
      maxval_(source.maxval) {
    const uint32_t pageBits = page.BitsPerSample();
    const bool bits =
        source.encoding == SampleEncoding::BitsOneIsBlack || source.encoding == SampleEncoding::BitsOneIsWhite;
    if (bits && pageBits == 1) {
        method_ = Method::Bits;
        invert_ = source.encoding == SampleEncoding::BitsOneIsBlack ? 0xFF : 0x00;
        sourceRowBytes_ = (width_ + 7) / 8;
        return;
    }
    const uint32_t top = (1u << pageBits) - 1;
    identity_ = source.scaled ? maxval_ == top : true;
    const bool wide =
        source.encoding == SampleEncoding::BigEndian16 || source.encoding == SampleEncoding::LittleEndian16;
    if (wide && pageBits == 16) {
        method_ = Method::Wide;
        lowFirst_ = source.encoding == SampleEncoding::LittleEndian16;
        sourceRowBytes_ = samples_ * 2;
        if (!identity_) {
            wide_.resize(maxval_ + 1);
            for (uint32_t value = 0; value <= maxval_; ++value) {
                wide_[value] = static_cast<uint16_t>(Scale(value, maxval_, top));
            }
        }
        return;
    }
    if (source.encoding != SampleEncoding::Bytes || (pageBits != 8 && pageBits != 4 && pageBits != 1) ||
        maxval_ > 255) {
        throw std::logic_error("no row packing for this source and page");
    }
    method_ = pageBits == 8 ? Method::Bytes : pageBits == 4 ? Method::Nibbles : Method::BitsFromBytes;
    sourceRowBytes_ = samples_;
    for (uint32_t value = 0; value <= maxval_; ++value) {
        narrow_[value] = static_cast<uint8_t>(source.scaled ? Scale(value, maxval_, top) : value);
    }
}

bool RowPacker::Pack(const uint8_t* source, uint8_t* out, uint32_t& bad) const {
    switch (method_) {
        case Method::Bits: PackBits(source, out); return true;
        case Method::Bytes: return PackBytes(source, out, bad);
        case Method::Wide: return PackWide(source, out, bad);
        case Method::Nibbles: return PackNibbles(source, out, bad);
        case Method::BitsFromBytes: return PackBitsFromBytes(source, out, bad);
    }
    return false;
}

// The loops keep members in locals: stores through `out` may alias them.
void RowPacker::PackBits(const uint8_t* source, uint8_t* out) const {
    const uint8_t invert = invert_;
    const size_t bytes = sourceRowBytes_;
    for (size_t i = 0; i < bytes; ++i) {
        out[i] = static_cast<uint8_t>(source[i] ^ invert);
    }
    SetUnusedBits(out, width_);
}

bool RowPacker::PackBytes(const uint8_t* source, uint8_t* out, uint32_t& bad) const {
    if (maxval_ == 255 && identity_) {
        if (out != source) {
            std::memcpy(out, source, samples_);
        }
        return true;
    }
    const size_t samples = samples_;
    const uint32_t maxval = maxval_;
    for (size_t i = 0; i < samples; ++i) {
        const uint8_t value = source[i];
        if (value > maxval) {
            bad = value;
            return false;
        }
        out[i] = narrow_[value];
    }
    return true;
}

bool RowPacker::PackWide(const uint8_t* source, uint8_t* out, uint32_t& bad) const {
    const size_t samples = samples_;
    if (maxval_ == 65535 && identity_ && lowFirst_) {
        if (out != source) {
            std::memcpy(out, source, samples * 2);
        }
        return true;
    }
    if (maxval_ == 65535 && identity_) {
        for (size_t i = 0; i < samples; ++i) {
            const uint8_t high = source[2 * i];
            out[2 * i] = source[2 * i + 1];
            out[2 * i + 1] = high;
        }
        return true;
    }
    for (size_t i = 0; i < samples; ++i) {
        const uint8_t* sample = source + 2 * i;
        const uint32_t value = lowFirst_ ? static_cast<uint32_t>(sample[1] << 8 | sample[0])
                                         : static_cast<uint32_t>(sample[0] << 8 | sample[1]);
        if (value > maxval_) {
            bad = value;
            return false;
        }
        const uint32_t laid = identity_ ? value : wide_[value];
        out[2 * i] = static_cast<uint8_t>(laid & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(laid >> 8);
    }
    return true;
}

bool RowPacker::PackNibbles(const uint8_t* source, uint8_t* out, uint32_t& bad) const {
    std::memset(out, 0, (width_ + 1) / 2);
    for (uint32_t x = 0; x < width_; ++x) {
        if (source[x] > maxval_) {
            bad = source[x];
            return false;
        }
        const uint8_t nibble = narrow_[source[x]];
        out[x / 2] |= (x % 2 == 0) ? static_cast<uint8_t>(nibble << 4) : nibble;
    }
    return true;
}

bool RowPacker::PackBitsFromBytes(const uint8_t* source, uint8_t* out, uint32_t& bad) const {
    std::memset(out, 0, (width_ + 7) / 8);
    for (uint32_t x = 0; x < width_; ++x) {
        if (source[x] > maxval_) {
            bad = source[x];
            return false;
        }
        if (narrow_[source[x]] != 0) {
            out[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    SetUnusedBits(out, width_);
    return true;
}
