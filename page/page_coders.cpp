#include "page/page_coders.h"

#include "base/setting_values.h"

PageCoder& PageCoders::For(int32_t compression) {
    switch (compression) {
        case CompressionGroup4: return group4_;
        case CompressionLzw: return lzw_;
        case CompressionDeflate: return deflate_;
        case CompressionGroup3OneD: return group3OneD_;
        case CompressionGroup3TwoD: return group3TwoD_;
        case CompressionPackBits: return packBits_;
#ifndef ZEDUZ_WITHOUT_JPEG
        case CompressionJpeg: return jpeg_;
#endif
        default: return raw_;
    }
}

void PageCoders::ResetAll() {
    raw_.Reset();
    group4_.Reset();
    lzw_.Reset();
    deflate_.Reset();
    group3OneD_.Reset();
    group3TwoD_.Reset();
    packBits_.Reset();
#ifndef ZEDUZ_WITHOUT_JPEG
    jpeg_.Reset();
#endif
}
