// Fuzz target (b): the Group 4 and Group 3 coders against libtiff's decoder.
//
// An input is a bilevel page: its width, the host's row padding, how it is
// cut into bands, and its pixels, given either as raw row bits (padding bits
// and bytes included, which must not matter) or as alternating run lengths
// (long runs reach the make-up codes). The page is coded band by band as the
// plug-in codes it; libtiff must decode the strip back to exactly the page.
// The page is then coded in Group 3, in one of its codings (one- or
// two-dimensional, fill bits or not, K 2 or 4) that the input's size picks,
// so that the inputs found for Group 4 serve as they are: the strip must be
// the same in bands and in one band, and libtiff must decode it back.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "memory_tiff.h"
#include "page/group4_coder.h"
#include "page/strip_sink.h"
#include "tiff/g3_encoder.h"
#include "tiff/g4_encoder.h"
#include "tiff/g4_runs.h"
#include "tiff/image_format.h"

namespace {

constexpr uint32_t kMaxWidth = 10000;
constexpr size_t kMaxPixels = 1u << 21;

class VectorSink final : public G4CodeSink {
public:
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        code.insert(code.end(), bytes, bytes + count);
        return StatusOk;
    }
    fuzz::Bytes code;
};

struct Page {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rowBytes = 0;
    fuzz::Bytes rows;  // host sense: 1 = white
};

void SetPixel(Page& page, uint32_t x, uint32_t y, bool white) {
    uint8_t& byte = page.rows[size_t{y} * page.rowBytes + x / 8];
    const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
    byte = white ? (byte | bit) : (byte & ~bit);
}

// Rows from run lengths: each byte is a run (0 to 255, scaled up by a shift
// byte), colours alternating from white; the runs wrap from row to row.
void FillFromRuns(FuzzedDataProvider& data, Page& page) {
    const uint32_t shift = data.ConsumeIntegralInRange<uint32_t>(0, 5);
    bool white = false;  // the first run is white
    uint32_t left = 0;
    for (uint32_t y = 0; y < page.height; ++y) {
        for (uint32_t x = 0; x < page.width; ++x) {
            while (left == 0) {
                if (data.remaining_bytes() == 0) {
                    left = page.width * page.height;
                    break;
                }
                left = static_cast<uint32_t>(data.ConsumeIntegral<uint8_t>()) << shift;
                white = !white;
            }
            SetPixel(page, x, y, white);
            --left;
        }
    }
}

// The page in coder sense (1 = black), (width + 7) / 8 bytes a row, bits
// past the width cleared: what the decoder must give back.
fuzz::Bytes CoderRows(const Page& page) {
    const uint32_t bytes = (page.width + 7) / 8;
    fuzz::Bytes out(size_t{bytes} * page.height);
    for (uint32_t y = 0; y < page.height; ++y) {
        for (uint32_t i = 0; i < bytes; ++i)
            out[size_t{y} * bytes + i] = static_cast<uint8_t>(~page.rows[size_t{y} * page.rowBytes + i]);
        if (page.width % 8 != 0)
            out[size_t{y} * bytes + bytes - 1] &= static_cast<uint8_t>(0xFF00u >> (page.width % 8));
    }
    return out;
}

[[noreturn]] void Fail(const char* what, const Page& page) {
    fprintf(stderr, "g4 fuzz: %s (width %u, height %u, rowBytes %u)\n", what, page.width, page.height, page.rowBytes);
    abort();
}

fuzz::Bytes G3Strip(const Page& page, const G3Coding& coding, uint32_t bandRows) {
    G4CoderState coder;
    fuzz::Bytes referenceLine(G4LineBytes(page.width)), workspace;
    VectorSink sink;
    const uint32_t step = bandRows == 0 ? page.height : bandRows;
    for (uint32_t y = 0; y < page.height; y += step) {
        const uint32_t rows = std::min(step, page.height - y);
        workspace.resize(G3WorkspaceBytes(page.width, rows, page.rowBytes));
        const G4Memory memory{referenceLine.data(), static_cast<uint32_t>(referenceLine.size()), workspace.data(),
                              workspace.size()};
        if (EncodeBandG3(coder, coding, &page.rows[size_t{y} * page.rowBytes], page.width, rows, page.rowBytes, memory,
                         sink) != StatusOk)
            Fail("Group 3 band refused", page);
    }
    uint8_t end[kG3PageEndBytes];
    sink.code.insert(sink.code.end(), end, end + FinishPageG3(coder, end));
    return sink.code;
}

// libtiff's one-dimensional decoder holds the width rounded up to 32 runs a
// row: a row that changes colour at every pixel from a black first pixel has
// one more, and at a width of whole 32s its right code is refused.
bool OverflowsLibtiff1DDecoder(const fuzz::Bytes& coderRows, uint32_t width, uint32_t height) {
    if (width % 32 != 0) return false;
    std::vector<uint32_t> changes(width + kChangeListSlack);
    const size_t lineBytes = G4LineBytes(width);
    for (uint32_t y = 0; y < height; ++y)
        if (FindChanges(&coderRows[y * lineBytes], width, true, changes.data()) == width) return true;
    return false;
}

void CheckGroup3(const Page& page, uint32_t bandRows, size_t inputSize) {
    const auto choice = static_cast<uint32_t>(inputSize % 8);
    const G3Coding coding{(choice & 1) != 0, (choice & 2) != 0, (choice & 4) != 0 ? 4u : 2u};
    const fuzz::Bytes strip = G3Strip(page, coding, bandRows);
    if (bandRows != 0 && strip != G3Strip(page, coding, 0)) Fail("the Group 3 strip depends on the bands", page);
    const fuzz::Bytes expected = CoderRows(page);
    if (!coding.twoDimensional && OverflowsLibtiff1DDecoder(expected, page.width, page.height)) return;
    fuzz::Bytes decoded;
    if (!fuzz::DecodeG3Strip(strip, page.width, page.height, T4Options(coding), &decoded))
        Fail("libtiff cannot decode the Group 3 strip", page);
    if (decoded != expected) Fail("decoded Group 3 rows differ from the page", page);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    Page page;
    page.width = data.ConsumeIntegralInRange<uint32_t>(1, kMaxWidth);
    page.rowBytes = (page.width + 7) / 8 + data.ConsumeIntegralInRange<uint32_t>(0, 3);
    const uint32_t bandRows = data.ConsumeIntegralInRange<uint32_t>(0, 16);  // 0: one band
    const uint8_t padding = data.ConsumeIntegral<uint8_t>();
    const bool runs = data.ConsumeBool();
    page.height = data.ConsumeIntegralInRange<uint32_t>(1, 64);
    if (size_t{page.width} * page.height > kMaxPixels) page.height = static_cast<uint32_t>(kMaxPixels / page.width);

    page.rows.assign(size_t{page.rowBytes} * page.height, padding);
    if (runs) {
        FillFromRuns(data, page);
    } else {
        fuzz::Bytes bits = data.ConsumeRemainingBytes<uint8_t>();
        for (size_t i = 0; i < page.rows.size() && !bits.empty(); ++i) page.rows[i] = bits[i % bits.size()];
    }

    Group4Coder coder;
    VectorSink sink;
    const uint32_t step = bandRows == 0 ? page.height : bandRows;
    for (uint32_t y = 0; y < page.height; y += step) {
        const uint32_t rows = std::min(step, page.height - y);
        if (coder.CodeBand(BandRows{&page.rows[size_t{y} * page.rowBytes], page.width, rows, page.rowBytes},
                           StripShape{FormatBilevel, ByteOrderIntel}, sink) != StatusOk)
            Fail("band refused", page);
    }
    if (coder.Finish(sink) != StatusOk) Fail("page end refused", page);

    fuzz::Bytes decoded;
    if (!fuzz::DecodeG4Strip(sink.code, page.width, page.height, &decoded))
        Fail("libtiff cannot decode the strip", page);
    if (decoded != CoderRows(page)) Fail("decoded rows differ from the page", page);
    CheckGroup3(page, bandRows, size);
    return 0;
}
