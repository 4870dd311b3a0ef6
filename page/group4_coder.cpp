#include "page/group4_coder.h"

#include "tiff/g4_encoder.h"

PluginStatus Group4Coder::CodeBand(const BandRows& band, const StripShape&, CodeSink& sink) {
    return referenceLine_.CodeBand(band, G4WorkspaceBytes, [&](const G4Memory& memory) {
        return EncodeBandG4(state_, band.pixels, band.width, band.rows, band.bilevelRowBytes, memory, sink);
    });
}

PluginStatus Group4Coder::Finish(CodeSink& sink) {
    uint8_t end[kG4PageEndBytes];
    const uint32_t count = FinishPageG4(state_, end);
    return sink.Append(end, count);
}

void Group4Coder::Reset() {
    ResetCoder(state_);
    referenceLine_.Release();
}
