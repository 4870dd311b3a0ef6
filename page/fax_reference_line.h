// The reference line of the fax coders (Group 3 and Group 4): a
// global-memory block kept from band to band, and so from command to
// command, until the page ends.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "memory/global_block.h"
#include "page/page_coder.h"
#include "tiff/g4_encoder.h"

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

    // Checks the band's layout (CheckG4Band) and hands `encode` the memory
    // it is coded in: this line, prepared for the band's width, and a
    // workspace of `workspaceBytes(width, rows, rowBytes)` bytes held for the
    // band. An empty band is not coded.
    template <typename WorkspaceBytes, typename Encode>
    PluginStatus CodeBand(const BandRows& band, WorkspaceBytes workspaceBytes, Encode encode) {
        const PluginStatus layout = CheckG4Band(band.pixels, band.width, band.rows, band.bilevelRowBytes);
        if (layout != StatusOk || band.rows == 0) return layout;
        const PluginStatus status = Prepare(band.width);
        if (status != StatusOk) return status;
        const uint64_t bytes = workspaceBytes(band.width, band.rows, band.bilevelRowBytes);
        if (bytes > SIZE_MAX) return StatusNoMemory;
        GlobalBlock workspace(static_cast<size_t>(bytes));
        if (workspace.get() == nullptr) return StatusNoMemory;
        return encode(G4Memory{line_, size_, workspace.get(), bytes});
    }

    uint8_t* bytes() const { return line_; }
    uint32_t size() const { return size_; }

private:
    uint8_t* line_ = nullptr;
    uint32_t size_ = 0;
};
