#include "page/lzw_coder.h"

#include "base/setting_values.h"
#include "memory/global_block.h"
#include "tiff/lzw_encoder.h"

LzwCoder::LzwCoder() : SerialStreamCoder(CompressionLzw, 0) {}

PluginStatus LzwCoder::StartStream(uint8_t*) {
    lzw_ = reinterpret_cast<LzwState*>(AllocateBlock(sizeof(LzwState)));  // zero-filled, suitably aligned
    if (lzw_ == nullptr) return StatusNoMemory;
    StartLzw(*lzw_);
    return StatusOk;
}

PluginStatus LzwCoder::CodePart(const uint8_t* bytes, uint64_t count, CodeBuffer& out) {
    return EncodeLzw(*lzw_, bytes, static_cast<size_t>(count), out);
}

PluginStatus LzwCoder::EndStrip(CodeBuffer& out) {
    const PluginStatus status = FinishLzw(*lzw_, out);
    RestartLzw(*lzw_);
    return status;
}

void LzwCoder::ReleaseStream() {
    uint8_t* lzw = reinterpret_cast<uint8_t*>(lzw_);
    ReleaseBlock(lzw);
    lzw_ = nullptr;
}
