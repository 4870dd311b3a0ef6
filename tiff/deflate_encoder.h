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

// How pages are coded: zlib's run-length strategy (matches at distance one
// only, then Huffman codes). On differenced scans, whose residuals are
// noise around zero, longer matches are rare: measured (bench/
// strip_coder_bench.cpp), it makes smaller strips than every zlib level and
// libdeflate up to level 9, at 140 to 170 MB/s against 10 to 30 MB/s for
// zlib's default level. With it, zlib ignores the level (above 0).
inline constexpr int kDeflateLevel = 1;

class DeflateEncoder {
public:
    DeflateEncoder() = default;
    DeflateEncoder(const DeflateEncoder&) = delete;
    DeflateEncoder& operator=(const DeflateEncoder&) = delete;
    ~DeflateEncoder() { End(); }

    // Begins a strip coded with zlib's run-length strategy; StatusNoMemory
    // when zlib cannot have its memory.
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
