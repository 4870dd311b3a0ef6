// The rows of one page, top to bottom, delivered straight into the band
// memory the plug-in reads (see scan_layout.h and row_packing.h).
#pragma once

#include <cstdint>

class PageRows {
public:
    virtual ~PageRows() = default;

    // Lays out the page's next row at `out`, the row's own bytes only.
    // Throws InputError naming the file and the row when the source turns out
    // truncated or damaged.
    virtual void ReadRow(uint8_t* out) = 0;
};
