#include "tiff/g4_encoder.h"

#include <utility>

#include "tiff/fax_band.h"
#include "tiff/g4_runs.h"
#include "tiff/g4_tables.h"

namespace {

// b1 for a0: the first change of the reference right of a0 among the changes
// of b1's colour, which are every other entry of the list. `index` is an
// entry of that colour at or before b1. The end markers (the width, three
// times) stop the walk, as a0 lies left of the width.
inline uint32_t NextB1(const uint32_t* reference, uint32_t index, uint32_t a0) {
    while (reference[index] <= a0) index += 2;
    return index;
}

inline void PutHorizontal(G4BitWriter& writer, uint32_t a0, uint32_t a1, uint32_t a2, bool whiteFirst) {
    writer.Put(horizontalCode);
    writer.PutRun(a1 - a0, whiteFirst ? whiteRunTable : blackRunTable);
    writer.PutRun(a2 - a1, whiteFirst ? blackRunTable : whiteRunTable);
}

// The Group 4 row: two-dimensional against the row above, always.
class G4RowCoder final : public FaxRowCoder {
public:
    void CodeRow(G4BitWriter& writer, G4ChangeLists& lists, const uint8_t* sourceRow, uint32_t width) override {
        EncodeRowG4(writer, lists, sourceRow, width);
    }
};

}  // namespace

PluginStatus CheckG4Band(const uint8_t* pixels, uint32_t width, uint32_t rows, uint32_t rowBytes) {
    if (width == 0 || width > kMaxG4Width) return StatusUnsupportedImage;
    if (rowBytes < G4LineBytes(width)) return StatusUnsupportedImage;
    if (rows == 0) return StatusOk;
    if (pixels == nullptr) return StatusUnsupportedImage;
    const uint64_t bandBytes = static_cast<uint64_t>(rows) * rowBytes;
    const uint64_t room = static_cast<uint64_t>(UINTPTR_MAX - reinterpret_cast<uintptr_t>(pixels));
    if (bandBytes > room) return StatusUnsupportedImage;
    return StatusOk;
}

uint64_t G4WorkspaceBytes(uint32_t width, uint32_t rows, uint32_t rowBytes) {
    return FaxWorkspaceBytes(width, rows, rowBytes, MaxRowCodeBytes(width));
}

uint64_t MaxRowCodeBytes(uint32_t width) {
    // Every change costs at most 13.5 bits (vertical: 7; horizontal: 3 plus
    // two terminating codes of up to 12 bits for two changes), make-up codes
    // at most 13 bits per 64 pixels, pass codes 4 bits per two changes of
    // the reference line: below 15.8 bits a pixel plus 31 for the end of
    // the row, and up to 31 bits held from before.
    return 2 * static_cast<uint64_t>(width) + 16;
}

void Code2DRow(G4BitWriter& rowWriter, const uint32_t* row, const uint32_t* reference, uint32_t width) {
    // A local copy, which no store through the output area can alias, lets
    // the compiler keep the accumulator in registers.
    G4BitWriter writer = rowWriter;
    uint32_t a0 = 0;
    uint32_t a1Index = 0;  // a1 = row[a1Index]; even: the run from a0 is white
    uint32_t b1Index = 0;  // b1 = reference[b1Index]
    for (;;) {
        const uint32_t a1 = row[a1Index];
        const uint32_t b1 = reference[b1Index];
        const uint32_t b2 = reference[b1Index + 1];
        if (b2 < a1) {
            writer.Put(passCode);
            a0 = b2;
            b1Index += 2;  // the next change of b1's colour lies right of b2
            continue;
        }
        // After a vertical code a0 moves onto a1 and takes the colour that
        // b1 changes to, so the next b1 is of the other colour: at or right
        // of the entry before b1 when b1 lies right of a1, else right of b1.
        // After a horizontal code a0 keeps its colour: the next b1 is at or
        // right of b1.
        uint32_t from;
        const int64_t b1FromA1 = static_cast<int64_t>(b1) - a1;
        if (b1FromA1 >= -3 && b1FromA1 <= 3) {
            writer.Put(verticalCodes[b1FromA1 + 3]);
            a0 = a1;
            a1Index += 1;
            from = b1FromA1 > 0 && b1Index > 0 ? b1Index - 1 : b1Index + 1;
        } else {
            const uint32_t a2 = row[a1Index + 1];
            PutHorizontal(writer, a0, a1, a2, (a1Index & 1) == 0);
            a0 = a2;
            a1Index += 2;
            from = b1Index;
        }
        if (a0 >= width) break;
        b1Index = NextB1(reference, from, a0);
    }
    rowWriter = writer;
}

void EncodeRowG4(G4BitWriter& writer, G4ChangeLists& lists, const uint8_t* sourceRow, uint32_t width) {
    FindChanges(sourceRow, width, false, lists.row);
    Code2DRow(writer, lists.row, lists.reference, width);
    std::swap(lists.row, lists.reference);
}

PluginStatus EncodeBandG4(G4CoderState& coder, const uint8_t* pixels, uint32_t width, uint32_t rows, uint32_t rowBytes,
                          const G4Memory& memory, G4CodeSink& sink) {
    G4RowCoder rowCoder;
    return EncodeFaxBand(coder, pixels, width, rows, rowBytes, MaxRowCodeBytes(width), memory, rowCoder, sink);
}

uint32_t FinishPageG4(G4CoderState& coder, uint8_t (&out)[kG4PageEndBytes]) {
    G4BitWriter writer(coder, out, 0);
    writer.PutBits(1, 12);  // end of facsimile block: two end-of-line codes
    writer.PutBits(1, 12);
    return writer.Flush(coder);
}

void ResetCoder(G4CoderState& coder) {
    coder.bits = 0;
    coder.freeBits = 8;
    coder.rowsCoded = 0;
}
