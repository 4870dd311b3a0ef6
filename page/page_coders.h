// The coders of a page engine, one of each kind, and the choice among them:
// the one place that turns a page's Compression tag into a coder. A coder
// keeps its state from band to band, so the engine holds them for as long
// as it lives, and memory is taken only by the coder a page uses.
#pragma once

#include <cstdint>

#include "page/deflate_coder.h"
#include "page/group3_coder.h"
#include "page/group4_coder.h"
#ifndef ZEDUZ_WITHOUT_JPEG
#include "page/jpeg_coder.h"
#endif
#include "page/lzw_coder.h"
#include "page/packbits_coder.h"
#include "page/page_coder.h"
#include "page/raw_coder.h"

class PageCoders {
public:
    // The coder of a page whose directory has the Compression tag
    // `compression` (PageCompression's values): Group 4, Group 3 one- or
    // two-dimensional, LZW, Deflate, PackBits, JPEG, or uncompressed rows for any
    // other value.
    PageCoder& For(int32_t compression);
    // Every coder back to its start, its memory freed.
    void ResetAll();

private:
    RawCoder raw_;
    Group4Coder group4_;
    LzwCoder lzw_;
    DeflateCoder deflate_;
    Group3Coder group3OneD_{false};
    Group3Coder group3TwoD_{true};
    PackBitsCoder packBits_;
#ifndef ZEDUZ_WITHOUT_JPEG
    JpegCoder jpeg_;  // absent where the library is: no page is then JPEG (PageCompression)
#endif
};
