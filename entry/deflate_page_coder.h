// The Deflate coder of the page being written, on two cores. A band large
// enough is shared at a piece boundary near its middle: its first part is
// coded in the calling thread, straight to the sink, while a thread of its
// own codes the second part into memory, handed to the sink after the first.
// The strip's bytes are those one coder alone would make (tiff/
// deflate_encoder.h), so a band too small to share, or a thread or memory
// that cannot be had, changes the time taken, never the file. Only the
// calling thread writes to the page file or calls the platform's services.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/code_sink.h"
#include "tiff/deflate_encoder.h"

class DeflatePageCoder {
public:
    DeflatePageCoder() = default;
    DeflatePageCoder(const DeflatePageCoder&) = delete;
    DeflatePageCoder& operator=(const DeflatePageCoder&) = delete;
    ~DeflatePageCoder() { Release(); }

    // Begins a strip; StatusNoMemory when the coder's memory cannot be had.
    PluginStatus Start();
    // Codes the strip's next `count` bytes into `out`.
    PluginStatus Code(const uint8_t* bytes, uint64_t count, CodeBuffer& out);
    // Ends the strip's stream and flushes `out`.
    PluginStatus Finish(CodeBuffer& out);
    // Frees the coders' memory, the strip unfinished.
    void Release();

private:
    // The strip offset where a band of `count` bytes is shared, or its end
    // when it is coded in the calling thread alone.
    uint64_t SharePoint(uint64_t count) const;
    // The second coder and the memory for `count` bytes of its code.
    bool PrepareSecondPart(uint64_t count);
    PluginStatus CodeAlone(const uint8_t* bytes, uint64_t count, CodeBuffer& out);
    PluginStatus CodeShared(const uint8_t* bytes, uint64_t count, uint64_t sharePoint, CodeBuffer& out);

    DeflateEncoder coders_[2];
    int current_ = 0;  // the coder whose piece the strip's next byte belongs to
    uint64_t stripBytes_ = 0;
    DeflateChecksum checksum_;
    uint8_t* secondCode_ = nullptr;  // the second part's code, until it is handed on
    uint64_t secondCodeBytes_ = 0;
};
