// The rows of one page, top to bottom, delivered straight into the band
// memory the plug-in reads (see scan_layout.h and row_packing.h).
#pragma once

#include <cstddef>
#include <cstdint>

class PageRows {
public:
    virtual ~PageRows() = default;

    // Lays out the page's next row at `out`, the row's own bytes only.
    // Throws InputError naming the file and the row when the source turns out
    // truncated or damaged.
    virtual void ReadRow(uint8_t* out) = 0;

    // Lays out the next `count` rows, `stride` bytes apart from `out` on; as
    // ReadRow, row by row, unless the source can do better.
    virtual void ReadRows(uint8_t* out, uint32_t count, size_t stride) {
        for (uint32_t row = 0; row < count; ++row) {
            ReadRow(out + stride * row);
        }
    }

    // A source that learns the page's length only at its end (a scanner)
    // delivers rows until it says the page has ended: the page is then as
    // tall as its rows, whatever height it announced.
    virtual bool OpenEnded() const { return false; }

    // OpenEnded sources: lays out the next row at `out`, or returns false
    // when the page has ended before it.
    virtual bool ReadRowIfAny(uint8_t* out) {
        ReadRow(out);
        return true;
    }
};
