#include "tiff/g3_encoder.h"

#include <utility>

#include "tiff/fax_band.h"
#include "tiff/g4_runs.h"
#include "tiff/g4_tables.h"

namespace {

constexpr uint32_t kFineRowsAbove = 150;  // rows per inch; above: K = 4
constexpr uint32_t kEndOfLine = 1;        // 000000000001
constexpr uint32_t kEndOfLineBits = 12;
// Where an EOL must begin for its last bit to end a byte.
constexpr uint32_t kAlignedEndOfLineStart = 8 - kEndOfLineBits % 8;
// EOL, tag bit and fill bits, rounded up to bytes.
constexpr uint64_t kLineStartBytes = (7 + kEndOfLineBits + 1 + 7) / 8;

constexpr uint32_t kTwoDimensionalBit = 1;
constexpr uint32_t kFillBitsBit = 4;

bool IsOneDimensionalRow(const G3Coding& coding, uint64_t row) {
    return !coding.twoDimensional || coding.k <= 1 || row % coding.k == 0;
}

// A Group 3 row: the EOL, then the row one- or two-dimensionally by its
// place on the page.
class G3RowCoder final : public FaxRowCoder {
public:
    G3RowCoder(const G3Coding& coding, uint32_t firstRow) : coding_(coding), row_(firstRow) {}

    void CodeRow(G4BitWriter& writer, G4ChangeLists& lists, const uint8_t* sourceRow, uint32_t width) override {
        const bool oneDimensional = IsOneDimensionalRow(coding_, row_++);
        PutEndOfLine(writer, coding_, oneDimensional);
        FindChanges(sourceRow, width, false, lists.row);
        if (oneDimensional)
            Code1DRow(writer, lists.row, width);
        else
            Code2DRow(writer, lists.row, lists.reference, width);
        std::swap(lists.row, lists.reference);
    }

private:
    const G3Coding coding_;
    uint64_t row_;
};

}  // namespace

G3Coding ChooseG3Coding(bool twoDimensional, uint32_t yResolution) {
    return G3Coding{twoDimensional, true, yResolution > kFineRowsAbove ? 4u : 2u};
}

uint32_t T4Options(const G3Coding& coding) {
    return (coding.twoDimensional ? kTwoDimensionalBit : 0) | (coding.fillBits ? kFillBitsBit : 0);
}

uint64_t MaxG3RowCodeBytes(uint32_t width) { return MaxRowCodeBytes(width) + kLineStartBytes; }

uint64_t G3WorkspaceBytes(uint32_t width, uint32_t rows, uint32_t rowBytes) {
    return FaxWorkspaceBytes(width, rows, rowBytes, MaxG3RowCodeBytes(width));
}

void Code1DRow(G4BitWriter& rowWriter, const uint32_t* changes, uint32_t width) {
    // A local copy keeps the accumulator in registers (as in Code2DRow). The
    // end markers (the width) end the last run, of either colour.
    G4BitWriter writer = rowWriter;
    uint32_t a0 = 0;
    for (const uint32_t* change = changes;; change += 2) {
        writer.PutRun(change[0] - a0, whiteRunTable);
        a0 = change[0];
        if (a0 >= width) break;
        writer.PutRun(change[1] - a0, blackRunTable);
        a0 = change[1];
        if (a0 >= width) break;
    }
    rowWriter = writer;
}

void PutEndOfLine(G4BitWriter& writer, const G3Coding& coding, bool oneDimensionalRow) {
    if (coding.fillBits) writer.PadTo(kAlignedEndOfLineStart);
    if (coding.twoDimensional)
        writer.PutBits(kEndOfLine << 1 | (oneDimensionalRow ? 1 : 0), kEndOfLineBits + 1);
    else
        writer.PutBits(kEndOfLine, kEndOfLineBits);
}

PluginStatus EncodeBandG3(G4CoderState& coder, const G3Coding& coding, const uint8_t* pixels, uint32_t width,
                          uint32_t rows, uint32_t rowBytes, const G4Memory& memory, CodeSink& sink) {
    G3RowCoder rowCoder(coding, coder.rowsCoded);
    return EncodeFaxBand(coder, pixels, width, rows, rowBytes, MaxG3RowCodeBytes(width), memory, rowCoder, sink);
}

uint32_t FinishPageG3(G4CoderState& coder, uint8_t (&out)[kG3PageEndBytes]) {
    G4BitWriter writer(coder, out, 0);
    return writer.Flush(coder);
}
