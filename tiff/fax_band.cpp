#include "tiff/fax_band.h"

#include <algorithm>

#include "tiff/g4_runs.h"

namespace {

// Code bytes gathered before they are handed on: few, large writes.
constexpr uint64_t kCodeBatchBytes = 32 * 1024;

// The last row of a band, in coder sense, as the reference for the next
// band; bits past the width are cleared.
void StoreReferenceLine(uint8_t* referenceLine, const uint8_t* sourceRow, uint32_t width) {
    const uint32_t usedBytes = G4LineBytes(width);
    for (uint32_t i = 0; i < usedBytes; ++i) referenceLine[i] = static_cast<uint8_t>(~sourceRow[i]);
    if (width % 8 != 0) referenceLine[usedBytes - 1] &= static_cast<uint8_t>(0xFF00u >> (width % 8));
}

uint64_t ChangeListBytes(uint32_t width) {
    return (static_cast<uint64_t>(width) + kChangeListSlack) * sizeof(uint32_t);
}

// Code bytes gathered before they are handed on, at most one batch.
uint64_t CodeBatchBytes(uint32_t rows, uint32_t rowBytes) {
    return std::min<uint64_t>(static_cast<uint64_t>(rows) * rowBytes, kCodeBatchBytes);
}

// The workspace of a band: two change lists, then the code area.
struct BandWorkspace {
    G4ChangeLists lists;
    uint8_t* code;
    uint64_t flushAbove;  // hand the code on once it is longer than this
};

BandWorkspace SplitWorkspace(uint8_t* workspace, uint32_t width, uint32_t rows, uint32_t rowBytes) {
    const uint64_t listBytes = ChangeListBytes(width);
    BandWorkspace band{};
    band.lists.row = reinterpret_cast<uint32_t*>(workspace);
    band.lists.reference = reinterpret_cast<uint32_t*>(workspace + listBytes);
    band.code = workspace + 2 * listBytes;
    band.flushAbove = CodeBatchBytes(rows, rowBytes);
    return band;
}

}  // namespace

uint64_t FaxWorkspaceBytes(uint32_t width, uint32_t rows, uint32_t rowBytes, uint64_t maxRowCodeBytes) {
    return 2 * ChangeListBytes(width) + maxRowCodeBytes + CodeBatchBytes(rows, rowBytes);
}

PluginStatus EncodeFaxBand(G4CoderState& coder, const uint8_t* pixels, uint32_t width, uint32_t rows, uint32_t rowBytes,
                           uint64_t maxRowCodeBytes, const G4Memory& memory, FaxRowCoder& rowCoder, CodeSink& sink) {
    const PluginStatus layout = CheckG4Band(pixels, width, rows, rowBytes);
    if (layout != StatusOk || rows == 0) return layout;
    if (memory.referenceBytes < G4LineBytes(width) ||
        memory.workspaceBytes < FaxWorkspaceBytes(width, rows, rowBytes, maxRowCodeBytes))
        return StatusNoMemory;

    BandWorkspace workspace = SplitWorkspace(memory.workspace, width, rows, rowBytes);
    FindChanges(memory.referenceLine, width, true, workspace.lists.reference);
    G4BitWriter writer(coder, workspace.code, 0);
    const uint8_t* sourceRow = pixels;
    for (uint32_t row = 0; row < rows; ++row, sourceRow += rowBytes) {
        rowCoder.CodeRow(writer, workspace.lists, sourceRow, width);
        if (writer.count() > workspace.flushAbove) {
            const PluginStatus status = sink.Append(workspace.code, writer.count());
            if (status != StatusOk) return status;
            writer.Rewind();
        }
    }
    const uint32_t count = writer.Finish(coder);
    StoreReferenceLine(memory.referenceLine, sourceRow - rowBytes, width);
    coder.rowsCoded = rows > UINT32_MAX - coder.rowsCoded ? UINT32_MAX : coder.rowsCoded + rows;
    if (count == 0) return StatusOk;
    return sink.Append(workspace.code, count);
}
