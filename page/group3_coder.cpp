#include "page/group3_coder.h"

#include "memory/global_block.h"
#include "tiff/g3_encoder.h"

PluginStatus Group3Coder::CodeBand(const BandRows& band, const StripShape& shape, CodeSink& sink) {
    const PluginStatus layout = CheckG4Band(band.pixels, band.width, band.rows, band.bilevelRowBytes);
    if (layout != StatusOk || band.rows == 0) return layout;
    PluginStatus status = referenceLine_.Prepare(band.width);
    if (status != StatusOk) return status;
    const uint64_t workspaceBytes = G3WorkspaceBytes(band.width, band.rows, band.bilevelRowBytes);
    if (workspaceBytes > SIZE_MAX) return StatusNoMemory;
    GlobalBlock workspace(static_cast<size_t>(workspaceBytes));
    if (workspace.get() == nullptr) return StatusNoMemory;
    const G4Memory memory{referenceLine_.bytes(), referenceLine_.size(), workspace.get(), workspaceBytes};
    const G3Coding coding = ChooseG3Coding(twoDimensional_, shape.yResolution);
    return EncodeBandG3(state_, coding, band.pixels, band.width, band.rows, band.bilevelRowBytes, memory, sink);
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
