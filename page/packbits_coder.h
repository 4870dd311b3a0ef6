// PackBits strips of every format (tiff/packbits_encoder.h): each row is
// coded on its own, so the stream holds nothing beside the code buffer, and
// a strip ends with its last row's code.
#pragma once

#include "page/stream_coder.h"

class PackBitsCoder final : public SerialStreamCoder {
public:
    PackBitsCoder();

private:
    PluginStatus StartStream(uint8_t*) override { return StatusOk; }
    PluginStatus CodePart(const uint8_t* bytes, uint64_t count, CodeBuffer& out) override;
    PluginStatus EndStrip(CodeBuffer&) override { return StatusOk; }
    void ReleaseStream() override {}
};
