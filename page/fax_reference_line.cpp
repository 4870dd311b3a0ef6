#include "page/fax_reference_line.h"

#include <algorithm>
#include <cstring>

#include "memory/global_block.h"
#include "tiff/g4_encoder.h"

PluginStatus FaxReferenceLine::Prepare(uint32_t width) {
    const uint32_t lineBytes = G4LineBytes(width);
    if (line_ != nullptr && size_ == lineBytes) return StatusOk;
    uint8_t* line = AllocateBlock(lineBytes);
    if (line == nullptr) return StatusNoMemory;
    if (line_ != nullptr) std::memcpy(line, line_, std::min(size_, lineBytes));
    ReleaseBlock(line_);
    line_ = line;
    size_ = lineBytes;
    return StatusOk;
}

void FaxReferenceLine::Release() {
    ReleaseBlock(line_);
    line_ = nullptr;
    size_ = 0;
}
