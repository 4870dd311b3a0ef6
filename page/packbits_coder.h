// PackBits strips of every format (tiff/packbits_encoder.h): each row is
// coded on its own, so the stream holds nothing beside the code buffer.
#pragma once

#include "page/stream_coder.h"

class PackBitsCoder final : public StreamCoder {
public:
    PackBitsCoder();

private:
    PluginStatus StartStream(uint8_t*) override { return StatusOk; }
    PluginStatus CodeStream(const uint8_t* bytes, uint64_t count, CodeBuffer& out) override;
    PluginStatus FinishStream(CodeBuffer& out) override { return out.Flush(); }
    void ReleaseStream() override {}
};
