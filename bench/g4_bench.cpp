// The Group 4 and Group 3 coders against libtiff's encoders, page by page,
// both coding from and into memory: Group 4, and Group 3 one- and
// two-dimensional with fill bits (the plug-in's choice; K by the page's
// resolution). Reports MB/s of 1-bit input; run_g4_bench.sh prints the
// ratios. Before timing, each page's strips are compared: the benchmark
// refuses to run on output that is not bit-identical. It also prints what
// fill bits cost in size.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "libtiff_memory.h"
#include "page/group4_coder.h"
#include "page/strip_sink.h"
#include "tiff/g3_encoder.h"
#include "tiff/g4_encoder.h"
#include "tiff/image_format.h"

namespace {

constexpr uint32_t kBandRows = 128;  // a host band

struct Page {
    std::string name;
    uint32_t width, height, rowBytes;
    uint32_t resolution;             // rows per inch
    std::vector<uint8_t> hostRows;   // 1 = white, rows padded to 4 bytes
    std::vector<uint8_t> coderRows;  // 1 = black, (width + 7) / 8 bytes a row
};

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x9E3779B1u ^ (y + seed) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 13);
}

// Dense text: lines of glyph-like cells, scaled to the resolution.
bool Text(uint32_t x, uint32_t y, uint32_t scale) {
    x /= scale;
    y /= scale;
    const uint32_t line = y / 40, cy = y % 40, cell = x / 18, cx = x % 18;
    if (x < 60 || cy >= 30 || cx >= 14) return false;
    const uint32_t glyph = Hash(cell, line, 7);
    if ((glyph & 0x300) == 0) return false;  // spaces between words
    return ((glyph & 1) && cx >= 2 && cx < 5) || ((glyph & 2) && cx >= 10 && cx < 13) ||
           ((glyph & 4) && cy >= 2 && cy < 5) || ((glyph & 8) && cy >= 13 && cy < 16) ||
           ((glyph & 16) && cy >= 25 && cy < 28) || ((glyph & 32) && cx * 2 + 1 >= cy && cx * 2 <= cy + 2) ||
           ((glyph & 64) && (cx - 7) * (cx - 7) + (cy - 15) * (cy - 15) / 2 < 30 &&
            (cx - 7) * (cx - 7) + (cy - 15) * (cy - 15) / 2 >= 14);
}

// A 50% grey as a fine clustered-dot halftone with a slow variation.
bool Halftone(uint32_t x, uint32_t y) {
    static const uint8_t kOrder[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return kOrder[y % 4][x % 4] < 6 + (x / 200 + y / 300) % 5;
}

Page MakePage(const std::string& name, uint32_t width, uint32_t height, uint32_t resolution,
              const std::function<bool(uint32_t, uint32_t)>& black) {
    Page page{name, width, height, (width + 31) / 32 * 4, resolution, {}, {}};
    const uint32_t coderBytes = (width + 7) / 8;
    page.hostRows.assign(static_cast<size_t>(page.rowBytes) * height, 0xFF);
    page.coderRows.assign(static_cast<size_t>(coderBytes) * height, 0x00);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            if (black(x, y)) {
                const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
                page.hostRows[static_cast<size_t>(y) * page.rowBytes + x / 8] &= static_cast<uint8_t>(~bit);
                page.coderRows[static_cast<size_t>(y) * coderBytes + x / 8] |= bit;
            }
    return page;
}

const std::vector<Page>& Pages() {
    static const std::vector<Page> pages = [] {
        std::vector<Page> list;
        list.push_back(MakePage("text_300dpi", 2480, 3508, 300, [](uint32_t x, uint32_t y) { return Text(x, y, 1); }));
        list.push_back(MakePage("text_600dpi", 4960, 7016, 600, [](uint32_t x, uint32_t y) { return Text(x, y, 2); }));
        list.push_back(MakePage("noise_50", 2480, 3508, 300, [](uint32_t x, uint32_t y) { return Hash(x, y, 1) & 1; }));
        list.push_back(MakePage("halftone", 2480, 3508, 300, Halftone));
        list.push_back(MakePage("white", 2480, 3508, 300, [](uint32_t, uint32_t) { return false; }));
        return list;
    }();
    return pages;
}

// The codings compared: Group 4, and Group 3 as the plug-in codes a page.
enum class Coding { Group4, Group3OneD, Group3TwoD };

struct CodingName {
    Coding coding;
    const char* name;
};
const CodingName kCodings[] = {{Coding::Group4, "g4"}, {Coding::Group3OneD, "g3-1d"}, {Coding::Group3TwoD, "g3-2d"}};

G3Coding G3CodingOf(Coding coding, const Page& page, bool fillBits = true) {
    G3Coding g3 = ChooseG3Coding(coding == Coding::Group3TwoD, page.resolution);
    g3.fillBits = fillBits;
    return g3;
}

// --- our coders ---------------------------------------------------------

class MemorySink final : public CodeSink {
public:
    explicit MemorySink(std::vector<uint8_t>& out) : out_(out) {}
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        out_.insert(out_.end(), bytes, bytes + count);
        return StatusOk;
    }

private:
    std::vector<uint8_t>& out_;
};

void OurG4Strip(const Page& page, std::vector<uint8_t>& strip) {
    Group4Coder coder;  // as the plug-in codes: global memory for the reference line and each band
    MemorySink sink(strip);
    for (uint32_t y = 0; y < page.height; y += kBandRows) {
        const uint32_t rows = std::min(kBandRows, page.height - y);
        if (coder.CodeBand(
                BandRows{&page.hostRows[static_cast<size_t>(y) * page.rowBytes], page.width, rows, page.rowBytes},
                StripShape{FormatBilevel, ByteOrderIntel}, sink) != StatusOk)
            std::abort();
    }
    if (coder.Finish(sink) != StatusOk) std::abort();
}

// The reference line kept for the page, a workspace for each band.
void OurG3Strip(const Page& page, const G3Coding& coding, std::vector<uint8_t>& strip) {
    G4CoderState coder;
    std::vector<uint8_t> referenceLine(G4LineBytes(page.width));
    MemorySink sink(strip);
    for (uint32_t y = 0; y < page.height; y += kBandRows) {
        const uint32_t rows = std::min(kBandRows, page.height - y);
        std::vector<uint8_t> workspace(G3WorkspaceBytes(page.width, rows, page.rowBytes));
        const G4Memory memory{referenceLine.data(), static_cast<uint32_t>(referenceLine.size()), workspace.data(),
                              workspace.size()};
        if (EncodeBandG3(coder, coding, &page.hostRows[static_cast<size_t>(y) * page.rowBytes], page.width, rows,
                         page.rowBytes, memory, sink) != StatusOk)
            std::abort();
    }
    uint8_t end[kG3PageEndBytes];
    strip.insert(strip.end(), end, end + FinishPageG3(coder, end));
}

void OurStrip(const Page& page, Coding coding, std::vector<uint8_t>& strip, bool fillBits = true) {
    strip.clear();
    if (coding == Coding::Group4)
        OurG4Strip(page, strip);
    else
        OurG3Strip(page, G3CodingOf(coding, page, fillBits), strip);
}

// --- libtiff into memory ------------------------------------------------

void LibtiffFile(const Page& page, Coding coding, MemoryFile& file) {
    TIFF* tiff = OpenMemory(file, "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.height);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(page.resolution));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(page.resolution));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (coding == Coding::Group4) {
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tiff, TIFFTAG_T6OPTIONS, 0);
    } else {
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
        TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, T4Options(G3CodingOf(coding, page)));
    }
    const uint32_t coderBytes = (page.width + 7) / 8;
    std::vector<uint8_t> row(coderBytes);  // libtiff may alter the row it is given
    for (uint32_t y = 0; y < page.height; ++y) {
        std::memcpy(row.data(), &page.coderRows[static_cast<size_t>(y) * coderBytes], coderBytes);
        if (TIFFWriteScanline(tiff, row.data(), y, 0) != 1) std::abort();
    }
    TIFFClose(tiff);
}

std::vector<uint8_t> LibtiffStrip(const Page& page, Coding coding) {
    MemoryFile file;
    LibtiffFile(page, coding, file);
    return RawStrip(file);
}

// --- the benchmarks -----------------------------------------------------

void SetInputBytes(benchmark::State& state, const Page& page) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.width / 8 * page.height);
}

void BM_Ours(benchmark::State& state, const Page* page, Coding coding) {
    std::vector<uint8_t> strip;
    strip.reserve(page->coderRows.size());
    for (auto _ : state) {
        OurStrip(*page, coding, strip);
        benchmark::DoNotOptimize(strip.data());
    }
    SetInputBytes(state, *page);
    state.counters["strip_bytes"] = static_cast<double>(strip.size());
}

void BM_Libtiff(benchmark::State& state, const Page* page, Coding coding) {
    MemoryFile file;
    file.data.reserve(page->coderRows.size() + 4096);
    for (auto _ : state) {
        LibtiffFile(*page, coding, file);
        benchmark::DoNotOptimize(file.data.data());
    }
    SetInputBytes(state, *page);
}

}  // namespace

int main(int argc, char** argv) {
    TIFFSetWarningHandler(nullptr);
    for (const Page& page : Pages())
        for (const CodingName& coding : kCodings) {
            std::vector<uint8_t> ours;
            OurStrip(page, coding.coding, ours);
            const std::string name = std::string(coding.name) + "/" + page.name;
            if (ours != LibtiffStrip(page, coding.coding)) {
                std::fprintf(stderr, "%s: our strip differs from libtiff's\n", name.c_str());
                return 1;
            }
            std::fprintf(stderr, "%s: %zu strip bytes, identical to libtiff's", name.c_str(), ours.size());
            if (coding.coding != Coding::Group4) {
                std::vector<uint8_t> unfilled;
                OurStrip(page, coding.coding, unfilled, false);
                std::fprintf(stderr, "; without fill bits %zu (fill bits: %+.2f%%)", unfilled.size(),
                             100.0 * (static_cast<double>(ours.size()) / static_cast<double>(unfilled.size()) - 1));
            }
            std::fprintf(stderr, "\n");
            benchmark::RegisterBenchmark(("ours/" + name).c_str(), BM_Ours, &page, coding.coding)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("libtiff/" + name).c_str(), BM_Libtiff, &page, coding.coding)
                ->Unit(benchmark::kMillisecond);
        }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
