// Group 4 strips of bilevel pages, with the memory the coder works in: the
// reference line, a global-memory block kept from band to band (and so
// from command to command) until the page ends, and each band's workspace,
// a block held while the band is coded. Bands go to the coder as the host
// lays them out (1 = white); the coder reads them in place.
#pragma once

#include <cstdint>

#include "page/fax_reference_line.h"
#include "page/page_coder.h"
#include "tiff/g4_coder_state.h"

class Group4Coder final : public PageCoder {
public:
    Group4Coder() = default;
    Group4Coder(const Group4Coder&) = delete;
    Group4Coder& operator=(const Group4Coder&) = delete;
    ~Group4Coder() override = default;

    // No pending bits, no rows, no reference line.
    void Reset() override;
    // StatusUnsupportedImage for a band layout the coder cannot take (it
    // then takes no memory), StatusNoMemory when the reference line or the
    // workspace cannot be had, or the sink's status.
    PluginStatus CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) override;
    // A Group 4 strip goes on from the reference line this coder holds.
    bool Continues(uint64_t) const override { return true; }
    uint64_t RowsInStrip(uint64_t, uint64_t) const override { return state_.rowsCoded; }
    // The end-of-facsimile-block code after the last partial byte.
    PluginStatus Finish(CodeSink& sink) override;
    bool SizedByCode() const override { return true; }

    uint32_t referenceBytes() const { return referenceLine_.size(); }

private:
    G4CoderState state_;
    FaxReferenceLine referenceLine_;
};
