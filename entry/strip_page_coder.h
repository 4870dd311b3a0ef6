// The LZW or Deflate coder of the page being written, with the memory it
// works in: the coder's state (LZW's table; zlib's coders and Deflate's piece
// under way) and a code buffer, kept from band to band (and so from command
// to command) until the page ends. One strip per page: each band's rows continue the strip's code
// (Deflate's on two threads: deflate_page_coder.h).
#pragma once

#include <cstdint>

#include "base/status.h"
#include "entry/deflate_page_coder.h"
#include "tiff/code_sink.h"

struct LzwState;

class StripPageCoder {
public:
    StripPageCoder() = default;
    StripPageCoder(const StripPageCoder&) = delete;
    StripPageCoder& operator=(const StripPageCoder&) = delete;
    ~StripPageCoder() { Release(); }

    // Codes `rowCount` strip rows of `bytes` bytes with `compression` (LZW
    // or Deflate: the strip's first rows choose it) and hands the code to
    // `sink`, all of it by the time the call returns, except what the coder
    // holds back for the strip's end. StatusNoMemory when the coder's memory
    // cannot be had, StatusBadSequence for another compression than the
    // strip's, or the sink's status.
    PluginStatus CodeRows(int32_t compression, const uint8_t* rows, uint64_t bytes, uint32_t rowCount, CodeSink& sink);
    // Hands the rest of the strip's code to `sink`. StatusBadSequence when
    // no rows were coded.
    PluginStatus FinishPage(CodeSink& sink);

    // The start of a page: no strip, no rows, no memory.
    void Release();

    uint32_t rowsCoded() const { return rowsCoded_; }
    // Code bytes the sink has taken from this page's strip.
    uint64_t bytesHanded() const { return bytesHanded_; }

private:
    PluginStatus Start(int32_t compression);
    PluginStatus Code(const uint8_t* rows, uint64_t bytes, CodeBuffer& out);

    int32_t compression_ = 0;  // of the strip begun; 0 before its first rows
    LzwState* lzw_ = nullptr;
    DeflatePageCoder deflate_;
    uint8_t* buffer_ = nullptr;
    uint32_t rowsCoded_ = 0;
    uint64_t bytesHanded_ = 0;
};
