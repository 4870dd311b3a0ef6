// The CCITT Group 4 (T.6) coder of bilevel pages.
//
// Rows are coded two-dimensionally against the row above, without end-of-
// line codes or byte alignment, most significant bit first. The coder works
// on the changing elements of the rows (tiff/g4_runs.h): each row's list is
// found once and serves as the reference for the row below. The partly
// filled last byte carries over from band to band in a G4CoderState, the
// reference line in memory the caller owns; the code bytes go to a sink.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/code_sink.h"
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

// Group 4 code goes to the sink every page coder hands its bytes to.
using G4CodeSink = CodeSink;

// Bytes of the reference line of rows `width` pixels wide: one row in coder
// sense (1 = black).
inline uint32_t G4LineBytes(uint32_t width) { return static_cast<uint32_t>((uint64_t{width} + 7) / 8); }

// Bytes of the workspace a band of `rows` rows, `rowBytes` apart, is coded
// in: the change lists of two rows and the code area.
uint64_t G4WorkspaceBytes(uint32_t width, uint32_t rows, uint32_t rowBytes);

// The memory the coder works in, owned by the caller.
struct G4Memory {
    // The row above the band, G4LineBytes(width) bytes: all 0 (white) before
    // a page's first band; the coder leaves the band's last row in it.
    uint8_t* referenceLine;
    uint32_t referenceBytes;
    // G4WorkspaceBytes(width, rows, rowBytes) bytes; what it held does not
    // matter.
    uint8_t* workspace;
    uint64_t workspaceBytes;
};

// StatusOk for a band the coder can take; StatusUnsupportedImage for a band
// layout that cannot be: width 0 or above kMaxG4Width, rowBytes below
// (width + 7) / 8, no pixels, rows beyond the address space.
PluginStatus CheckG4Band(const uint8_t* pixels, uint32_t width, uint32_t rows, uint32_t rowBytes);

// Codes the `rows` source rows (host sense, 1 = white) at `pixels`, rows
// `rowBytes` apart, against `memory.referenceLine`, and hands their code
// bytes to `sink` in batches. Returns StatusOk, CheckG4Band's status,
// StatusNoMemory when `memory` is smaller than the band needs, or the
// sink's status.
PluginStatus EncodeBandG4(G4CoderState& coder, const uint8_t* pixels, uint32_t width, uint32_t rows, uint32_t rowBytes,
                          const G4Memory& memory, G4CodeSink& sink);

// Most bytes the end of a page takes.
inline constexpr uint32_t kG4PageEndBytes = 4;

// Puts the end-of-facsimile-block code after the page's last partial byte
// into `out` and returns the bytes put there (3 or 4); `coder` is left
// empty.
uint32_t FinishPageG4(G4CoderState& coder, uint8_t (&out)[kG4PageEndBytes]);

// The state at the start of a page: no pending bits, no rows coded.
void ResetCoder(G4CoderState& coder);
