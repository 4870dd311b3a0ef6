// Group 3 strips of bilevel pages, one- or two-dimensional, coded as the
// Group 4 coder codes them: the reference line a global-memory block kept
// from band to band (and so from command to command) until the page ends,
// each band's workspace a block held while the band is coded. The coding
// (K, fill bits) follows the page's Y resolution, as its T4Options do.
#pragma once

#include <cstdint>

#include "page/fax_reference_line.h"
#include "page/page_coder.h"
#include "tiff/g4_coder_state.h"

class Group3Coder final : public PageCoder {
public:
    explicit Group3Coder(bool twoDimensional) : twoDimensional_(twoDimensional) {}
    Group3Coder(const Group3Coder&) = delete;
    Group3Coder& operator=(const Group3Coder&) = delete;
    ~Group3Coder() override = default;

    void Reset() override;
    // StatusUnsupportedImage for a band layout the coder cannot take,
    // StatusNoMemory when the reference line or the workspace cannot be had,
    // or the sink's status.
    PluginStatus CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) override;
    // Every row begins with its EOL: the strip goes on from the reference
    // line this coder holds, as a Group 4 strip does.
    bool Continues(uint64_t) const override { return true; }
    uint64_t RowsInStrip(uint64_t, uint64_t) const override { return state_.rowsCoded; }
    // The last partial byte, 0-padded.
    PluginStatus Finish(CodeSink& sink) override;
    bool SizedByCode() const override { return true; }

private:
    const bool twoDimensional_;
    G4CoderState state_;
    FaxReferenceLine referenceLine_;
};
