// Uncompressed strips: each band converted to strip rows and written as it
// is. The strip's rows are its bytes, so any page file of whole rows can be
// continued, by this process or another.
#pragma once

#include "page/page_coder.h"

class RawCoder final : public PageCoder {
public:
    void Reset() override {}
    PluginStatus CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) override;
    bool Continues(uint64_t) const override { return true; }
    uint64_t RowsInStrip(uint64_t stripBytes, uint64_t rowBytes) const override {
        return rowBytes > 0 ? stripBytes / rowBytes : 0;
    }
    PluginStatus Finish(CodeSink&) override { return StatusOk; }
    bool SizedByCode() const override { return false; }
};
