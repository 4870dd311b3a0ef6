// The Deflate coder of TIFF strips (Compression 8). A strip is one zlib
// stream: two header bytes, Deflate data, the Adler-32 of the strip's bytes.
//
// The data is cut into pieces of kDeflatePieceBytes strip bytes (the last
// one shorter), each coded on its own: the coder starts every piece afresh
// and codes it in one call to zlib, with room for all its code, ending it on
// a byte boundary (an empty stored block) or, for the strip's last piece,
// with the stream's final block. A piece's code thus depends on its bytes
// alone, and the pieces' code simply follows one another: pieces can be coded
// at the same time on different cores, and the strip's bytes are the same
// whoever codes which piece and however the strip arrives (in one band or in
// many). zlib's memory is a fixed amount whatever the page's size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "tiff/code_sink.h"

struct z_stream_s;

// Small enough that a 64-row band of an A4 page holds several pieces (the
// band is shared between cores at a piece boundary), large enough that the
// end of a piece (one more block header and four bytes) costs under 0.02% of
// the strip.
inline constexpr uint32_t kDeflatePieceBytes = 64 * 1024;

inline constexpr uint32_t kDeflateHeaderBytes = 2;
inline constexpr uint32_t kDeflateTrailerBytes = 4;

// The most code a piece of `count` bytes can become: zlib's conservative
// bound for a stream (fixed codes of up to 9 bits a byte, block headers),
// plus the piece's end (a partial byte and an empty stored block).
inline constexpr uint32_t DeflatePieceCodeBound(uint32_t count) { return count + count / 8 + count / 64 + 32; }
inline constexpr uint32_t kDeflatePieceCodeBound = DeflatePieceCodeBound(kDeflatePieceBytes);

// How pieces are coded: zlib's run-length strategy (matches at distance one
// only, then Huffman codes). On differenced scans, whose residuals are noise
// around zero, longer matches are rare: measured (bench/strip_coder_bench.cpp),
// it makes smaller strips than every zlib level and libdeflate up to level 9,
// at 140 to 170 MB/s against 10 to 30 MB/s for zlib's default level.
class DeflateEncoder {
public:
    DeflateEncoder() = default;
    DeflateEncoder(const DeflateEncoder&) = delete;
    DeflateEncoder& operator=(const DeflateEncoder&) = delete;
    ~DeflateEncoder() { End(); }

    // Gets the coder's memory; StatusNoMemory when zlib cannot have it.
    PluginStatus Start();
    // Codes one piece of `count` bytes (at most kDeflatePieceBytes; `last`:
    // the strip's last piece, which may be empty) into `out`, flushed first
    // unless it has room for DeflatePieceCodeBound(count) bytes.
    // StatusWriteFailed when `out` cannot make that room, or the sink's
    // status.
    PluginStatus CodePiece(const uint8_t* data, uint32_t count, bool last, CodeBuffer& out);
    // Frees the coder's memory.
    void End();
    bool started() const { return stream_ != nullptr; }

private:
    z_stream_s* stream_ = nullptr;
};

// The stream's two header bytes (a 32 KiB window, no dictionary).
PluginStatus PutDeflateHeader(CodeBuffer& out);

// The Adler-32 of the strip's bytes, built from the checksums of runs of
// them computed apart (on different cores), in the strip's order.
class DeflateChecksum {
public:
    // The checksum of one run of bytes, on its own.
    static uint32_t OfRun(const uint8_t* data, size_t count);
    // The run of `count` bytes whose checksum is `runChecksum` follows the
    // bytes counted so far.
    void Append(uint32_t runChecksum, uint64_t count);
    // The stream's four trailer bytes.
    PluginStatus PutTrailer(CodeBuffer& out) const;
    // The same bytes, put at `four` (a trailer written ahead, filled in later).
    void StoreTrailer(uint8_t* four) const;
    void Reset() { value_ = 1; }
    uint32_t value() const { return value_; }

private:
    uint32_t value_ = 1;
};
