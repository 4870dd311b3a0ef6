// LZW strips (tiff/lzw_encoder.h): the coder's table in a block of its own.
#pragma once

#include "page/stream_coder.h"

struct LzwState;

class LzwCoder final : public StreamCoder {
public:
    LzwCoder();
    ~LzwCoder() override { ReleaseStream(); }

private:
    PluginStatus StartStream(uint8_t* extra) override;
    PluginStatus CodeStream(const uint8_t* bytes, uint64_t count, CodeBuffer& out) override;
    PluginStatus FinishStream(CodeBuffer& out) override;
    void ReleaseStream() override;

    LzwState* lzw_ = nullptr;
};
