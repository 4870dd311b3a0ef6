// The TIFF writing state and the page operations: prepare, begin, palette,
// band, end and job end. The user-facing slots do nothing at this level.
#pragma once

#include <cstdint>

#include "entry/plugin_base.h"
#include "tiff/g4_coder_state.h"

class TiffPageWriter : public PluginBase {
public:
    TiffPageWriter() = default;
    ~TiffPageWriter() override;

    PluginStatus Initialize() override { return StatusOk; }
    PluginStatus ShowSettings() override { return StatusOk; }
    PluginStatus ShowAbout() override { return StatusOk; }
    PluginStatus BeginPage() override;
    PluginStatus WritePalette() override;
    PluginStatus WriteBand() override;

    PluginStatus PreparePage();
    PluginStatus EndPage();
    PluginStatus EndJob();

    // Read-only views for tests and the entry.
    int32_t byteOrder() const { return byteOrder_; }
    int32_t compression() const { return compression_; }
    uint32_t pageCount() const { return pageCount_; }

protected:
    PluginStatus ClassifyImage();
    PluginStatus DiscardTempFile();
    void ReleaseReferenceLine();

    int32_t byteOrder_ = 18761;
    uint8_t multiPage_ = 0;
    uint32_t pageCount_ = 0;
    uint32_t nextPoint_ = 0;
    uint32_t directoryCount_ = 0;
    int32_t compression_ = 1;
    uint32_t imageSize_ = 0;
    uint32_t imageOffset_ = 0;
    G4CoderState g4_;
};
