// The Group 4 coder against libtiff's Group 4 encoder, page by page, both
// coding from and into memory. Reports MB/s of 1-bit input; run_g4_bench.sh
// prints the ratios. Before timing, each page's strips are compared: the
// benchmark refuses to run on output that is not bit-identical.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "page/group4_coder.h"
#include "page/strip_sink.h"
#include "tiff/g4_encoder.h"
#include "tiff/image_format.h"

namespace {

constexpr uint32_t kBandRows = 128;  // a host band

struct Page {
    std::string name;
    uint32_t width, height, rowBytes;
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

Page MakePage(const std::string& name, uint32_t width, uint32_t height,
              const std::function<bool(uint32_t, uint32_t)>& black) {
    Page page{name, width, height, (width + 31) / 32 * 4, {}, {}};
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
        list.push_back(MakePage("text_300dpi", 2480, 3508, [](uint32_t x, uint32_t y) { return Text(x, y, 1); }));
        list.push_back(MakePage("text_600dpi", 4960, 7016, [](uint32_t x, uint32_t y) { return Text(x, y, 2); }));
        list.push_back(MakePage("noise_50", 2480, 3508, [](uint32_t x, uint32_t y) { return Hash(x, y, 1) & 1; }));
        list.push_back(MakePage("halftone", 2480, 3508, Halftone));
        list.push_back(MakePage("white", 2480, 3508, [](uint32_t, uint32_t) { return false; }));
        return list;
    }();
    return pages;
}

// --- our coder ----------------------------------------------------------

class MemorySink final : public G4CodeSink {
public:
    explicit MemorySink(std::vector<uint8_t>& out) : out_(out) {}
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        out_.insert(out_.end(), bytes, bytes + count);
        return StatusOk;
    }

private:
    std::vector<uint8_t>& out_;
};

void OurStrip(const Page& page, std::vector<uint8_t>& strip) {
    strip.clear();
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

// --- libtiff into memory ------------------------------------------------

struct MemoryFile {
    std::vector<uint8_t> data;
    uint64_t position = 0;
};

tmsize_t MemoryRead(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const uint64_t available = file->position < file->data.size() ? file->data.size() - file->position : 0;
    const auto count = static_cast<tmsize_t>(std::min<uint64_t>(available, static_cast<uint64_t>(size)));
    std::memcpy(buffer, file->data.data() + file->position, static_cast<size_t>(count));
    file->position += static_cast<uint64_t>(count);
    return count;
}

tmsize_t MemoryWrite(thandle_t handle, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    const uint64_t end = file->position + static_cast<uint64_t>(size);
    if (end > file->data.size()) file->data.resize(end);
    std::memcpy(file->data.data() + file->position, buffer, static_cast<size_t>(size));
    file->position = end;
    return size;
}

toff_t MemorySeek(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (whence == SEEK_CUR) offset += file->position;
    if (whence == SEEK_END) offset += file->data.size();
    file->position = offset;
    return offset;
}

int MemoryClose(thandle_t) { return 0; }
toff_t MemorySize(thandle_t handle) { return static_cast<MemoryFile*>(handle)->data.size(); }
int MemoryMap(thandle_t, void**, toff_t*) { return 0; }
void MemoryUnmap(thandle_t, void*, toff_t) {}

TIFF* OpenMemory(MemoryFile& file, const char* mode) {
    return TIFFClientOpen("memory", mode, &file, MemoryRead, MemoryWrite, MemorySeek, MemoryClose, MemorySize,
                          MemoryMap, MemoryUnmap);
}

void LibtiffFile(const Page& page, MemoryFile& file) {
    file.data.clear();
    file.position = 0;
    TIFF* tiff = OpenMemory(file, "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.height);
    TIFFSetField(tiff, TIFFTAG_T6OPTIONS, 0);
    const uint32_t coderBytes = (page.width + 7) / 8;
    std::vector<uint8_t> row(coderBytes);  // libtiff may alter the row it is given
    for (uint32_t y = 0; y < page.height; ++y) {
        std::memcpy(row.data(), &page.coderRows[static_cast<size_t>(y) * coderBytes], coderBytes);
        if (TIFFWriteScanline(tiff, row.data(), y, 0) != 1) std::abort();
    }
    TIFFClose(tiff);
}

std::vector<uint8_t> LibtiffStrip(const Page& page) {
    MemoryFile file;
    LibtiffFile(page, file);
    file.position = 0;
    TIFF* tiff = OpenMemory(file, "r");
    std::vector<uint8_t> strip(static_cast<size_t>(TIFFRawStripSize(tiff, 0)));
    TIFFReadRawStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size()));
    TIFFClose(tiff);
    return strip;
}

// --- the benchmarks -----------------------------------------------------

void SetInputBytes(benchmark::State& state, const Page& page) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.width / 8 * page.height);
}

void BM_Ours(benchmark::State& state, const Page* page) {
    std::vector<uint8_t> strip;
    strip.reserve(page->coderRows.size());
    for (auto _ : state) {
        OurStrip(*page, strip);
        benchmark::DoNotOptimize(strip.data());
    }
    SetInputBytes(state, *page);
    state.counters["strip_bytes"] = static_cast<double>(strip.size());
}

void BM_Libtiff(benchmark::State& state, const Page* page) {
    MemoryFile file;
    file.data.reserve(page->coderRows.size() + 4096);
    for (auto _ : state) {
        LibtiffFile(*page, file);
        benchmark::DoNotOptimize(file.data.data());
    }
    SetInputBytes(state, *page);
}

}  // namespace

int main(int argc, char** argv) {
    TIFFSetWarningHandler(nullptr);
    for (const Page& page : Pages()) {
        std::vector<uint8_t> ours;
        OurStrip(page, ours);
        if (ours != LibtiffStrip(page)) {
            std::fprintf(stderr, "%s: our strip differs from libtiff's\n", page.name.c_str());
            return 1;
        }
        std::fprintf(stderr, "%s: %zu strip bytes, identical to libtiff's\n", page.name.c_str(), ours.size());
        benchmark::RegisterBenchmark(("ours/" + page.name).c_str(), BM_Ours, &page)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("libtiff/" + page.name).c_str(), BM_Libtiff, &page)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
