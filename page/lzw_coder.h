// LZW strips (tiff/lzw_encoder.h): the coder's table in a block of its own,
// begun afresh for every strip.
#pragma once

#include "page/stream_coder.h"

struct LzwState;

class LzwCoder final : public SerialStreamCoder {
public:
    LzwCoder();
    ~LzwCoder() override { ReleaseStream(); }

private:
    PluginStatus StartStream(uint8_t* extra) override;
    PluginStatus CodePart(const uint8_t* bytes, uint64_t count, CodeBuffer& out) override;
    PluginStatus EndStrip(CodeBuffer& out) override;
    void ReleaseStream() override;

    LzwState* lzw_ = nullptr;
};
