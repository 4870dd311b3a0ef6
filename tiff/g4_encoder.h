// The CCITT Group 4 (T.6) coder of bilevel pages.
//
// Rows are coded two-dimensionally against the row above, without end-of-
// line codes or byte alignment, most significant bit first. The coder works
// on the changing elements of the rows (tiff/g4_runs.h): each row's list is
// found once and serves as the reference for the row below. The partly
// filled last byte and the reference line carry over from band to band in
// a G4CoderState; the code bytes go out band by band.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "output/file_handle.h"
#include "tiff/g4_bit_writer.h"
#include "tiff/g4_coder_state.h"

// Widest row the coder accepts; wider rows are StatusUnsupportedImage.
inline constexpr uint32_t kMaxG4Width = 0x7FFFFFF0u;

// Upper bound of the bytes that one row of `width` pixels adds to the output
// area, the up to 31 bits that the writer may hold from before included.
uint64_t MaxRowCodeBytes(uint32_t width);

// Appends the T.6 code of one row. `row` and `reference` are the change
// lists (FindChanges) of the row and of the row above it.
void Code2DRow(G4BitWriter& writer, const uint32_t* row, const uint32_t* reference, uint32_t width);

// The change lists of the row being coded and of the row above it, each of
// width + kChangeListSlack entries.
struct G4ChangeLists {
    uint32_t* row;
    uint32_t* reference;
};

// Codes one source row (host sense, 1 = white) against `lists.reference`,
// after which the row's changes become the reference for the next row.
void EncodeRowG4(G4BitWriter& writer, G4ChangeLists& lists, const uint8_t* sourceRow, uint32_t width);

// Takes the complete code bytes of a band as they are produced.
class G4CodeSink {
public:
    virtual PluginStatus Append(const uint8_t* bytes, uint32_t count) = 0;

protected:
    ~G4CodeSink() = default;
};

// Codes the `rows` source rows (host sense, 1 = white) at `pixels`, rows
// `rowBytes` apart, and hands their code bytes to `sink`. Allocates the
// reference line (all white) when there is none and the staging buffer,
// which it leaves allocated for the caller to release, with stagingSize 0.
// Returns StatusOk, StatusUnsupportedImage for a band layout that cannot be
// (width 0 or above kMaxG4Width, rowBytes below (width + 7) / 8, no pixels,
// rows beyond the address space), StatusNoMemory, or the sink's status.
PluginStatus EncodeBandG4(G4CoderState& coder, const uint8_t* pixels, uint32_t width, uint32_t rows,
                          uint32_t rowBytes, G4CodeSink& sink, uint8_t*& staging, uint32_t& stagingSize);

// The same, appending the code bytes to `file` and adding them to
// *imageSize; a strip that would reach 4,294,967,295 bytes is refused with
// StatusWriteFailed before anything is written.
PluginStatus EncodeBandG4(G4CoderState& coder, const uint8_t* pixels, uint32_t width, uint32_t rows,
                          uint32_t rowBytes, FileHandle& file, uint32_t* imageSize, uint8_t*& staging,
                          uint32_t& stagingSize);

// Puts the end-of-facsimile-block code and the last partial byte of the
// page into a new 64-byte staging buffer; stagingSize becomes 3 or 4.
// Returns StatusNoMemory when the block cannot be had, else StatusOk.
PluginStatus FinishPageG4(G4CoderState& coder, uint8_t*& staging, uint32_t& stagingSize);

// Releases the reference line, leaving none.
void ReleaseReferenceLine(G4CoderState& coder);

// The state at the start of a page: no pending bits, no reference line.
void ResetCoder(G4CoderState& coder);
