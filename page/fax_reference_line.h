// The reference line of the fax coders (Group 3 and Group 4): a
// global-memory block kept from band to band, and so from command to
// command, until the page ends.
#pragma once

#include <cstdint>

#include "base/status.h"

class FaxReferenceLine {
public:
    FaxReferenceLine() = default;
    FaxReferenceLine(const FaxReferenceLine&) = delete;
    FaxReferenceLine& operator=(const FaxReferenceLine&) = delete;
    ~FaxReferenceLine() { Release(); }

    // A line for rows `width` pixels wide: a new all-white one, or the old
    // one carried over to a new width (the pixels both cover are kept, the
    // rest is white), so that no width reads past the block. StatusNoMemory
    // when the block cannot be had.
    PluginStatus Prepare(uint32_t width);
    void Release();

    uint8_t* bytes() const { return line_; }
    uint32_t size() const { return size_; }

private:
    uint8_t* line_ = nullptr;
    uint32_t size_ = 0;
};
