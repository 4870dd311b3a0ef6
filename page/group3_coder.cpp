#include "page/group3_coder.h"

#include "tiff/g3_encoder.h"

PluginStatus Group3Coder::CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) {
    const G3Coding coding = ChooseG3Coding(twoDimensional_, shape.yResolution);
    return referenceLine_.CodeBand(band, G3WorkspaceBytes, [&](const G4Memory& memory) {
        return EncodeBandG3(state_, coding, band.pixels, band.width, band.rows, band.bilevelRowBytes, memory, sink);
    });
}

PluginStatus Group3Coder::Finish(CodeSink& sink) {
    uint8_t end[kG3PageEndBytes];
    const uint32_t count = FinishPageG3(state_, end);
    if (count == 0) return StatusOk;
    return sink.Append(end, count);
}

void Group3Coder::Reset() {
    ResetCoder(state_);
    referenceLine_.Release();
}
