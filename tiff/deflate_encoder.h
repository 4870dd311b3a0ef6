// The Deflate coder of TIFF strips (Compression 8): one zlib stream per
// strip, coded in as many pieces as the caller likes (one per band) into a
// caller-owned code buffer. zlib keeps its window and tables between pieces,
// a fixed amount of memory whatever the page's size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "tiff/code_sink.h"

struct z_stream_s;

// The level pages are coded at: measured against the other levels for the
// best size at no more time than the peers' default (bench/).
inline constexpr int kDeflateLevel = 6;

class DeflateEncoder {
public:
    DeflateEncoder() = default;
    DeflateEncoder(const DeflateEncoder&) = delete;
    DeflateEncoder& operator=(const DeflateEncoder&) = delete;
    ~DeflateEncoder() { End(); }

    // Begins a strip; StatusNoMemory when zlib cannot have its memory.
    PluginStatus Start(int level);
    // Codes `count` bytes into `out`, flushed to its sink whenever it fills.
    PluginStatus Encode(const uint8_t* data, size_t count, CodeBuffer& out);
    // Ends the strip's stream and flushes `out`; the coder's memory is freed.
    PluginStatus Finish(CodeBuffer& out);
    // Frees the coder's memory, the strip unfinished.
    void End();
    bool started() const { return stream_ != nullptr; }

private:
    PluginStatus Run(int flush, CodeBuffer& out);
    z_stream_s* stream_ = nullptr;
};
