#include "page/packbits_coder.h"

#include "base/setting_values.h"
#include "tiff/packbits_encoder.h"

PackBitsCoder::PackBitsCoder() : SerialStreamCoder(CompressionPackBits, 0) {}

PluginStatus PackBitsCoder::CodePart(const uint8_t* bytes, uint64_t count, CodeBuffer& out) {
    if (rowBytes() == 0) return StatusOk;
    return EncodePackBits(bytes, rowBytes(), static_cast<uint32_t>(count / rowBytes()), out);
}
