// The Deflate stream of a page's strip, on two cores (DeflateCoder's part). The strip's
// pieces (tiff/deflate_encoder.h) are coded as a band completes them, and a
// band's pieces are shared: the calling thread codes about half of them
// straight to the sink while a thread of its own codes the rest into memory,
// handed to the sink after the first share. The bytes of a piece that a band
// ends within wait for the next band. Since a piece's code depends on its
// bytes alone, a band too small to share, or a thread or memory that cannot
// be had, changes the time taken, never the file. Only the calling thread
// writes to the page file or calls the platform's services.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/code_sink.h"
#include "tiff/deflate_encoder.h"

class DeflatePieces {
public:
    DeflatePieces() = default;
    DeflatePieces(const DeflatePieces&) = delete;
    DeflatePieces& operator=(const DeflatePieces&) = delete;
    ~DeflatePieces() { Release(); }

    // Begins a strip. `pieceMemory` (kDeflatePieceBytes, the caller's, kept
    // until Release) holds the bytes of the piece under way.
    // StatusNoMemory when the coder's memory cannot be had.
    PluginStatus Start(uint8_t* pieceMemory);
    // Codes the strip's next `count` bytes into `out`, whose capacity is at
    // least kDeflatePieceCodeBound.
    PluginStatus Code(const uint8_t* bytes, uint64_t count, CodeBuffer& out);
    // Codes the strip's last piece, ends the stream and flushes `out`.
    PluginStatus Finish(CodeBuffer& out);
    // Frees the coders' memory, the strip unfinished.
    void Release();

private:
    uint32_t ContinuePiece(const uint8_t* bytes, uint64_t count);
    PluginStatus CodePieces(bool pieceComplete, const uint8_t* bytes, uint64_t pieces, CodeBuffer& out);
    void KeepTail(const uint8_t* bytes, uint32_t count);
    // The second coder and the memory for the code of `pieces` pieces.
    bool PrepareSecondShare(uint64_t pieces);

    DeflateEncoder coders_[2];  // the calling thread's, the second thread's
    uint8_t* piece_ = nullptr;  // the piece under way
    uint32_t pieceBytes_ = 0;
    bool begun_ = false;  // the stream's header is out
    DeflateChecksum checksum_;
    uint8_t* secondCode_ = nullptr;  // the second half's code, until it is handed on
    uint64_t secondCodeBytes_ = 0;
};
