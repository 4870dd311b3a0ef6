#include "tiff/deflate_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <new>

namespace {

// zlib's own calls take at most this many bytes at once.
constexpr size_t kLargestCall = 0x40000000u;

constexpr uint32_t kAdlerModulus = 65521;

// Room for `count` more bytes in `out`, flushing it first if need be.
PluginStatus PutBytes(CodeBuffer& out, const uint8_t* bytes, uint32_t count) {
    if (out.capacity() - out.used() < count) {
        const PluginStatus status = out.Flush();
        if (status != StatusOk) return status;
    }
    std::copy(bytes, bytes + count, out.end());
    out.Advance(count);
    return StatusOk;
}

}  // namespace

PluginStatus DeflateEncoder::Start() {
    End();
    stream_ = new (std::nothrow) z_stream{};
    if (stream_ == nullptr) return StatusNoMemory;
    // Raw Deflate: the zlib wrapper is the strip's, around all its pieces.
    if (deflateInit2(stream_, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_RLE) != Z_OK) {
        delete stream_;
        stream_ = nullptr;
        return StatusNoMemory;
    }
    return StatusOk;
}

// One call to zlib with all the piece's bytes and room for all its code: how
// zlib cuts its blocks, and whether it repeats a flush marker, can depend on
// how input and room are handed to it, so they are handed the same way always.
PluginStatus DeflateEncoder::CodePiece(const uint8_t* data, uint32_t count, bool last, CodeBuffer& out) {
    if (stream_ == nullptr || count > kDeflatePieceBytes) return StatusBadSequence;
    const uint32_t bound = DeflatePieceCodeBound(count);
    if (out.capacity() - out.used() < bound) {
        const PluginStatus status = out.Flush();
        if (status != StatusOk) return status;
        if (out.capacity() < bound) return StatusWriteFailed;
    }
    if (deflateReset(stream_) != Z_OK) return StatusWriteFailed;
    const uInt room = out.capacity() - out.used();
    stream_->next_in = const_cast<Bytef*>(data);
    stream_->avail_in = count;
    stream_->next_out = out.end();
    stream_->avail_out = room;
    const int result = deflate(stream_, last ? Z_FINISH : Z_SYNC_FLUSH);
    out.Advance(room - stream_->avail_out);
    const bool done = last ? result == Z_STREAM_END : result == Z_OK && stream_->avail_in == 0;
    return done && stream_->avail_out > 0 ? StatusOk : StatusWriteFailed;
}

void DeflateEncoder::End() {
    if (stream_ == nullptr) return;
    deflateEnd(stream_);
    delete stream_;
    stream_ = nullptr;
}

PluginStatus PutDeflateHeader(CodeBuffer& out) {
    // CM 8 (Deflate) with a 32 KiB window, FLEVEL 0 (fastest), no
    // dictionary; the check bits make the pair a multiple of 31.
    static constexpr uint8_t kHeader[kDeflateHeaderBytes] = {0x78, 0x01};
    return PutBytes(out, kHeader, kDeflateHeaderBytes);
}

uint32_t DeflateChecksum::OfRun(const uint8_t* data, size_t count) {
    uLong value = adler32(0L, Z_NULL, 0);
    while (count > 0) {
        const size_t run = std::min(count, kLargestCall);
        value = adler32(value, data, static_cast<uInt>(run));
        data += run;
        count -= run;
    }
    return static_cast<uint32_t>(value);
}

// zlib's adler32_combine, with a 64-bit length on every platform (its own
// takes a 32-bit one where long is 32 bits).
void DeflateChecksum::Append(uint32_t runChecksum, uint64_t count) {
    const uint32_t remainder = static_cast<uint32_t>(count % kAdlerModulus);
    uint32_t sum1 = value_ & 0xffff;
    uint32_t sum2 = static_cast<uint32_t>((uint64_t{remainder} * sum1) % kAdlerModulus);
    sum1 += (runChecksum & 0xffff) + kAdlerModulus - 1;
    sum2 += (value_ >> 16) + (runChecksum >> 16) + kAdlerModulus - remainder;
    if (sum1 >= kAdlerModulus) sum1 -= kAdlerModulus;
    if (sum1 >= kAdlerModulus) sum1 -= kAdlerModulus;
    if (sum2 >= 2 * kAdlerModulus) sum2 -= 2 * kAdlerModulus;
    if (sum2 >= kAdlerModulus) sum2 -= kAdlerModulus;
    value_ = sum1 | sum2 << 16;
}

void DeflateChecksum::StoreTrailer(uint8_t* four) const {
    four[0] = static_cast<uint8_t>(value_ >> 24);
    four[1] = static_cast<uint8_t>(value_ >> 16);
    four[2] = static_cast<uint8_t>(value_ >> 8);
    four[3] = static_cast<uint8_t>(value_);
}

PluginStatus DeflateChecksum::PutTrailer(CodeBuffer& out) const {
    uint8_t trailer[kDeflateTrailerBytes];
    StoreTrailer(trailer);
    return PutBytes(out, trailer, kDeflateTrailerBytes);
}
