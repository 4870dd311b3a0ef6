#include "page/group4_coder.h"

#include "memory/global_block.h"
#include "tiff/g4_encoder.h"

PluginStatus Group4Coder::CodeBand(const BandRows& band, const StripShape&, CodeSink& sink) {
    const PluginStatus layout = CheckG4Band(band.pixels, band.width, band.rows, band.bilevelRowBytes);
    if (layout != StatusOk || band.rows == 0) return layout;
    PluginStatus status = referenceLine_.Prepare(band.width);
    if (status != StatusOk) return status;
    const uint64_t workspaceBytes = G4WorkspaceBytes(band.width, band.rows, band.bilevelRowBytes);
    if (workspaceBytes > SIZE_MAX) return StatusNoMemory;
    GlobalBlock workspace(static_cast<size_t>(workspaceBytes));
    if (workspace.get() == nullptr) return StatusNoMemory;
    const G4Memory memory{referenceLine_.bytes(), referenceLine_.size(), workspace.get(), workspaceBytes};
    return EncodeBandG4(state_, band.pixels, band.width, band.rows, band.bilevelRowBytes, memory, sink);
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
