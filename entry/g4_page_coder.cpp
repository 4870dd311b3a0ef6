#include "entry/g4_page_coder.h"

#include <algorithm>
#include <cstring>

#include "output/global_block.h"
#include "tiff/directory_layout.h"

PluginStatus G4PageCoder::CodeBand(const uint8_t* pixels, uint32_t width, uint32_t rows, uint32_t rowBytes,
                                   G4CodeSink& sink) {
    // A band the coder refuses takes no memory.
    const PluginStatus layout = CheckG4Band(pixels, width, rows, rowBytes);
    if (layout != StatusOk || rows == 0) return layout;
    PluginStatus status = PrepareReferenceLine(width);
    if (status != StatusOk) return status;
    const uint64_t workspaceBytes = G4WorkspaceBytes(width, rows, rowBytes);
    if (workspaceBytes > SIZE_MAX) return StatusNoMemory;
    GlobalBlock workspace(static_cast<size_t>(workspaceBytes));
    if (workspace.get() == nullptr) return StatusNoMemory;
    const G4Memory memory{referenceLine_, referenceBytes_, workspace.get(), workspaceBytes};
    return EncodeBandG4(state_, pixels, width, rows, rowBytes, memory, sink);
}

PluginStatus G4PageCoder::FinishPage(G4CodeSink& sink) {
    uint8_t end[kG4PageEndBytes];
    const uint32_t count = FinishPageG4(state_, end);
    return sink.Append(end, count);
}

void G4PageCoder::Reset() {
    ResetCoder(state_);
    ReleaseReferenceLine();
}

void G4PageCoder::ReleaseReferenceLine() {
    ReleaseBlock(referenceLine_);
    referenceBytes_ = 0;
}

PluginStatus G4PageCoder::PrepareReferenceLine(uint32_t width) {
    const uint32_t lineBytes = G4LineBytes(width);
    if (referenceLine_ != nullptr && referenceBytes_ == lineBytes) return StatusOk;
    uint8_t* line = AllocateBlock(lineBytes);
    if (line == nullptr) return StatusNoMemory;
    if (referenceLine_ != nullptr) std::memcpy(line, referenceLine_, std::min(referenceBytes_, lineBytes));
    ReleaseBlock(referenceLine_);
    referenceLine_ = line;
    referenceBytes_ = lineBytes;
    return StatusOk;
}

PluginStatus G4FileSink::Append(const uint8_t* bytes, uint32_t count) {
    const uint64_t sizeSoFar = stripBytes_ != nullptr ? *stripBytes_ : 0;
    if (sizeSoFar + count >= kOffsetLimit) return StatusWriteFailed;
    const PluginStatus status = file_.Write(count, bytes);
    if (status == StatusOk && stripBytes_ != nullptr) *stripBytes_ += count;
    return status;
}
