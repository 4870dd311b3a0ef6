#include "page/deflate_coder.h"

#include "base/setting_values.h"

static_assert(StreamCoder::kCodeBufferBytes >= kDeflatePieceCodeBound, "the code buffer holds any piece's code");

DeflateCoder::DeflateCoder() : StreamCoder(CompressionDeflate, kDeflatePieceBytes) {}
