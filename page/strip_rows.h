// A band converted into rows of the page's uncompressed strip, in a block
// held for the band: what the raw, LZW and Deflate coders take in.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "memory/global_block.h"
#include "page/page_coder.h"

class StripRows {
public:
    // Converts the band (tiff/pixel_convert.h); check ok() for the memory.
    StripRows(const BandRows& band, const StripShape& shape);

    bool ok() const { return block_.get() != nullptr; }
    uint8_t* bytes() const { return block_.get(); }
    uint64_t size() const { return size_; }

private:
    uint64_t size_;
    GlobalBlock block_;
};
