// The Group 4 coder of the page being written, with the memory it works in:
// the reference line, a global-memory block kept from band to band (and so
// from command to command) until the page ends, and each band's workspace,
// a block held while the band is coded.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "output/file_handle.h"
#include "tiff/g4_coder_state.h"
#include "tiff/g4_encoder.h"

class G4PageCoder {
public:
    G4PageCoder() = default;
    G4PageCoder(const G4PageCoder&) = delete;
    G4PageCoder& operator=(const G4PageCoder&) = delete;
    ~G4PageCoder() { ReleaseReferenceLine(); }

    // Codes one band (host sense, 1 = white) and hands its code to `sink`.
    // A band of no rows codes nothing and takes no memory. Returns StatusOk,
    // StatusUnsupportedImage for a band layout the coder cannot take,
    // StatusNoMemory when the reference line or the workspace cannot be
    // had, or the sink's status.
    PluginStatus CodeBand(const uint8_t* pixels, uint32_t width, uint32_t rows, uint32_t rowBytes, G4CodeSink& sink);

    // Hands the end of the page (the end-of-facsimile-block code after the
    // last partial byte) to `sink`.
    PluginStatus FinishPage(G4CodeSink& sink);

    // The start of a page: no pending bits, no rows, no reference line.
    void Reset();
    void ReleaseReferenceLine();

    uint32_t rowsCoded() const { return state_.rowsCoded; }
    uint32_t referenceBytes() const { return referenceBytes_; }

private:
    // A reference line for rows `width` pixels wide: a new all-white one, or
    // the old one carried over to a new width (the pixels both cover are
    // kept, the rest is white), so that no width reads past the block.
    PluginStatus PrepareReferenceLine(uint32_t width);

    G4CoderState state_;
    uint8_t* referenceLine_ = nullptr;
    uint32_t referenceBytes_ = 0;
};

// Appends code bytes to the page file open in `file` and adds them to
// *stripBytes (when given); a strip that would reach 4,294,967,295 bytes
// is refused with StatusWriteFailed before anything is written.
class G4FileSink final : public G4CodeSink {
public:
    G4FileSink(FileHandle& file, uint32_t* stripBytes) : file_(file), stripBytes_(stripBytes) {}
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override;

private:
    FileHandle& file_;
    uint32_t* stripBytes_;
};
