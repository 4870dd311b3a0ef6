// The Deflate streams of a page's strips, on two cores (DeflateCoder's part).
// Each strip is one stream, cut into pieces (tiff/deflate_encoder.h) from
// its start; its last piece ends the stream, and its header and trailer go
// before its first piece and after its last. Pieces are coded as a band
// completes them, and a band's pieces are shared whatever strips they
// belong to: the calling thread codes about half of them straight to the
// sink while a thread of its own codes the rest (whole strips among them)
// into memory, handed to the sink after the first share. A strip the two
// shares divide is ended by the second; its trailer, which needs the
// checksum of the first share's bytes of it, is filled in once both are
// done. The bytes of a piece that a band ends within wait for the next
// band. Since a piece's code depends on its bytes alone, a band too small
// to share, or a thread or memory that cannot be had, changes the time
// taken, never the file. Only the calling thread writes to the page file or
// calls the platform's services.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "page/strip_counts.h"
#include "tiff/code_sink.h"
#include "tiff/deflate_encoder.h"

// Where the coding stands in a strip: its bytes coded so far (at a piece
// boundary), whether its header is out, and the checksum of those bytes.
struct DeflateStripCursor {
    uint64_t stripBytes = UINT64_MAX;  // a whole strip's bytes (UINT64_MAX: one strip for the page)
    uint64_t offset = 0;
    bool headerOut = false;
    DeflateChecksum checksum;

    // The length of the piece that starts at the cursor.
    uint32_t PieceLength() const;
};

class DeflatePieces {
public:
    DeflatePieces() = default;
    DeflatePieces(const DeflatePieces&) = delete;
    DeflatePieces& operator=(const DeflatePieces&) = delete;
    ~DeflatePieces() { Release(); }

    // Begins a page of strips of `stripBytes` bytes (the last one shorter).
    // `pieceMemory` (kDeflatePieceBytes, the caller's, kept until Release)
    // holds the bytes of the piece under way. StatusNoMemory when the
    // coder's memory cannot be had.
    PluginStatus Start(uint8_t* pieceMemory, uint64_t stripBytes);
    // Codes the page's next `count` bytes into `out`, whose capacity is at
    // least kDeflatePieceCodeBound; every strip they end is told to `ends`.
    PluginStatus Code(const uint8_t* bytes, uint64_t count, CodeBuffer& out, StripEnds& ends);
    // Ends the strip under way, if any (its last piece and its trailer),
    // and flushes `out`.
    PluginStatus Finish(CodeBuffer& out, StripEnds& ends);
    // Frees the coders' memory, the page unfinished.
    void Release();

private:
    uint32_t ContinuePiece(const uint8_t* bytes, uint64_t count);
    PluginStatus CodePieces(bool pieceComplete, const uint8_t* bytes, uint64_t pieces, CodeBuffer& out,
                            StripEnds& ends);
    void KeepTail(const uint8_t* bytes, uint32_t count);
    // The second coder and the memory for the code of `pieces` pieces.
    bool PrepareSecondShare(uint64_t pieces);

    DeflateEncoder coders_[2];  // the calling thread's, the second thread's
    uint8_t* piece_ = nullptr;  // the piece under way, which starts at cursor_
    uint32_t pieceBytes_ = 0;
    DeflateStripCursor cursor_;
    uint8_t* secondCode_ = nullptr;  // the second share's strip ends, then its code, until handed on
    uint64_t secondCodeBytes_ = 0;
};
