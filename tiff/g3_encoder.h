// The CCITT Group 3 (T.4) coder of bilevel pages, beside the Group 4 coder
// and built from its parts: each row's changing elements (tiff/g4_runs.h),
// the run-length codes (tiff/g4_tables.h), the bit writer, the
// two-dimensional row code (Code2DRow) and the band loop (tiff/fax_band.h).
//
// Every row begins with an end-of-line code (EOL, eleven 0 bits and a 1).
// One-dimensional pages (Modified Huffman) code each row as its runs, white
// first. Two-dimensional pages (Modified READ) follow each EOL with a tag
// bit, 1 when the row is coded one-dimensionally, 0 when against the row
// above, and code one row in K one-dimensionally, so that a damaged row
// spoils at most K - 1 rows below it. The strip ends with its last partial
// byte, padded with 0 bits: a TIFF strip carries no return-to-control (the
// six EOLs that end a page in transmission). As in Group 4, the partly
// filled byte and the rows coded carry over from band to band in a
// G4CoderState, the reference line in memory the caller owns (G4Memory).
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/code_sink.h"
#include "tiff/g4_bit_writer.h"
#include "tiff/g4_coder_state.h"
#include "tiff/g4_encoder.h"

// How a page's strip is coded.
struct G3Coding {
    bool twoDimensional;  // Modified READ, each EOL followed by its tag bit
    bool fillBits;        // 0 bits before each EOL so that it ends on a byte boundary
    uint32_t k;           // two-dimensional pages: rows 0, k, 2k, ... are coded one-dimensionally
};

// The coding the plug-in gives a page of `yResolution` rows per inch.
//
// K follows the vertical resolution as fax machines choose it: 2 at the
// standard 98 rows per inch, 4 at the fine 196 and above. The line between
// them is 150 rows per inch, where libtiff draws it too, so that a page
// is coded as libtiff codes it; an unknown resolution (0) counts as
// standard.
//
// Fill bits are always used. With every EOL ending on a byte boundary, fax
// software finds each row's start by looking at whole bytes: it hands rows
// to a fax modem (which takes byte-aligned rows and pads each to the line's
// minimum transmission time), counts or splits them, and resumes at the next
// row after a damaged one. They cost at most 7 bits a row: on an A4 text page
// at 300 dpi 0.3% of the strip one-dimensionally, 0.6% two-dimensionally
// (bench/g4_bench.cpp).
G3Coding ChooseG3Coding(bool twoDimensional, uint32_t yResolution);

// The page's T4Options: bit 0 for two-dimensional coding, bit 2 for fill
// bits.
uint32_t T4Options(const G3Coding& coding);

// Upper bound of the bytes one row of `width` pixels adds to the output
// area: a Group 4 row's bound and the EOL, its tag bit and up to 7 fill bits.
uint64_t MaxG3RowCodeBytes(uint32_t width);

// Bytes of the workspace a band of `rows` rows, `rowBytes` apart, is coded
// in: the change lists of two rows and the code area.
uint64_t G3WorkspaceBytes(uint32_t width, uint32_t rows, uint32_t rowBytes);

// Appends the one-dimensional code of a row, `changes` being its change list
// (FindChanges).
void Code1DRow(G4BitWriter& writer, const uint32_t* changes, uint32_t width);

// Appends the EOL that begins a row and, on a two-dimensional page, the tag
// bit of the row (`oneDimensionalRow`).
void PutEndOfLine(G4BitWriter& writer, const G3Coding& coding, bool oneDimensionalRow);

// Codes the `rows` source rows (host sense, 1 = white) at `pixels`, rows
// `rowBytes` apart, the row above being `memory.referenceLine`, and hands
// their code bytes to `sink` in batches. Row coder.rowsCoded of the page is
// the band's first: the rows are coded one- or two-dimensionally by their
// place on the page, whatever the band's size. Returns StatusOk,
// CheckG4Band's status, StatusNoMemory when `memory` is smaller than the
// band needs (G3WorkspaceBytes), or the sink's status.
PluginStatus EncodeBandG3(G4CoderState& coder, const G3Coding& coding, const uint8_t* pixels, uint32_t width,
                          uint32_t rows, uint32_t rowBytes, const G4Memory& memory, CodeSink& sink);

// Most bytes the end of a page takes.
inline constexpr uint32_t kG3PageEndBytes = 1;

// Puts the page's last partial byte, 0-padded, into `out` and returns the
// bytes put there (0 or 1); `coder` is left empty.
uint32_t FinishPageG3(G4CoderState& coder, uint8_t (&out)[kG3PageEndBytes]);
