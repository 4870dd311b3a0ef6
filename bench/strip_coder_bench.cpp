// The Deflate and LZW choices, measured: one page (PNM, 8- or 16-bit) is
// differenced as the plug-in differences it (Predictor 2), then coded whole
// by zlib at several levels and strategies (in 64-row bands), by libdeflate
// at several levels (the page in one call, and in strips of 64 rows, its only
// way to bound memory), and by the plug-in's own Deflate and LZW coders. Prints speed (MB of page per second, best of
// three) and size.
//
//   strip_coder_bench page.ppm|page.pgm ...
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/setting_values.h"
#include "page/deflate_coder.h"
#include "page/lzw_coder.h"
#include "tiff/horizontal_predictor.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kBandRows = 64;

struct Page {
    uint32_t width = 0, height = 0, samples = 0, bits = 0;
    Bytes rows;  // differenced, 16-bit samples little-endian
    size_t rowBytes() const { return size_t{width} * samples * bits / 8; }
};

bool ReadPnm(const char* path, Page* page) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    char magic[3] = {};
    unsigned maxValue = 0;
    if (std::fscanf(file, "%2s %u %u %u", magic, &page->width, &page->height, &maxValue) != 4) return false;
    std::fgetc(file);
    page->samples = std::strcmp(magic, "P6") == 0 ? 3 : 1;
    page->bits = maxValue > 255 ? 16 : 8;
    page->rows.resize(page->rowBytes() * page->height);
    const bool read = std::fread(page->rows.data(), 1, page->rows.size(), file) == page->rows.size();
    std::fclose(file);
    if (page->bits == 16)
        for (size_t i = 0; i + 1 < page->rows.size(); i += 2) std::swap(page->rows[i], page->rows[i + 1]);
    DifferenceRows(page->rows.data(), page->height, page->rowBytes(), page->samples, page->bits, ByteOrderIntel);
    return read;
}

class CountingSink final : public CodeSink {
public:
    PluginStatus Append(const uint8_t*, uint32_t count) override {
        bytes += count;
        return StatusOk;
    }
    size_t bytes = 0;
};

// Best of three: seconds and the coded size.
std::pair<double, size_t> Measure(const std::function<size_t()>& code) {
    double best = 1e9;
    size_t size = 0;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        size = code();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return {best, size};
}

// The plug-in's coder, band by band.
size_t PluginCoder(const Page& page, int32_t compression) {
    LzwCoder lzw;
    DeflateCoder deflate;
    StreamCoder& coder = compression == CompressionLzw ? static_cast<StreamCoder&>(lzw) : deflate;
    CountingSink sink;
    const size_t rowBytes = page.rowBytes();
    for (uint32_t y = 0; y < page.height; y += kBandRows) {
        const uint32_t rows = std::min(kBandRows, page.height - y);
        coder.CodeStripRows(page.rows.data() + y * rowBytes, rows * rowBytes, rows, sink);
    }
    coder.Finish(sink);
    return sink.bytes;
}

// zlib directly, with a strategy other than the default, in 64-row bands.
size_t ZlibStrategy(const Page& page, int level, int strategy, int memLevel = 8) {
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, 15, memLevel, strategy);
    Bytes out(64 * 1024);
    size_t total = 0;
    const size_t band = page.rowBytes() * kBandRows;
    for (size_t at = 0; at <= page.rows.size(); at += band) {
        const bool last = at + band >= page.rows.size();
        stream.next_in = const_cast<Bytef*>(page.rows.data() + at);
        stream.avail_in = static_cast<uInt>(std::min(band, page.rows.size() - at));
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            total += out.size() - stream.avail_out;
        } while (stream.avail_out == 0);
        if (last) break;
    }
    deflateEnd(&stream);
    return total;
}

size_t Libdeflate(const Page& page, int level, size_t pieceBytes) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_zlib_compress_bound(compressor, pieceBytes));
    size_t total = 0;
    for (size_t at = 0; at < page.rows.size(); at += pieceBytes) {
        const size_t n = std::min(pieceBytes, page.rows.size() - at);
        total += libdeflate_zlib_compress(compressor, page.rows.data() + at, n, out.data(), out.size());
    }
    libdeflate_free_compressor(compressor);
    return total;
}

void Report(const std::string& method, const Page& page, std::pair<double, size_t> result) {
    std::printf("  %-34s %8.1f MB/s %12zu bytes  %5.1f%%\n", method.c_str(), page.rows.size() / result.first / 1e6,
                result.second, 100.0 * result.second / page.rows.size());
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        Page page;
        if (!ReadPnm(argv[i], &page)) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        std::printf("%s: %ux%u, %u x %u bits, %zu bytes\n", argv[i], page.width, page.height, page.samples, page.bits,
                    page.rows.size());
        for (int level : {1, 3, 4, 5, 6, 9})
            Report("zlib " + std::to_string(level), page,
                   Measure([&] { return ZlibStrategy(page, level, Z_DEFAULT_STRATEGY); }));
        for (int level : {1, 2, 6})
            Report("zlib " + std::to_string(level) + " Z_RLE", page,
                   Measure([&] { return ZlibStrategy(page, level, Z_RLE); }));
        Report("zlib Z_RLE memLevel 9", page, Measure([&] { return ZlibStrategy(page, 1, Z_RLE, 9); }));
        Report("zlib Z_HUFFMAN_ONLY memLevel 9", page,
               Measure([&] { return ZlibStrategy(page, 1, Z_HUFFMAN_ONLY, 9); }));
        Report("zlib Z_HUFFMAN_ONLY", page, Measure([&] { return ZlibStrategy(page, 1, Z_HUFFMAN_ONLY); }));
        Report("zlib 1 Z_FILTERED", page, Measure([&] { return ZlibStrategy(page, 1, Z_FILTERED); }));
        Report("zlib 2", page, Measure([&] { return ZlibStrategy(page, 2, Z_DEFAULT_STRATEGY); }));
        const size_t strip = page.rowBytes() * kBandRows;
        for (int level : {1, 3, 6, 9, 12}) {
            Report("libdeflate " + std::to_string(level) + " (whole page)", page,
                   Measure([&] { return Libdeflate(page, level, page.rows.size()); }));
            Report("libdeflate " + std::to_string(level) + " (64-row strips)", page,
                   Measure([&] { return Libdeflate(page, level, strip); }));
        }
        Report("plug-in Deflate (zlib Z_RLE, pieces on two cores)", page,
               Measure([&] { return PluginCoder(page, CompressionDeflate); }));
        Report("plug-in LZW", page, Measure([&] { return PluginCoder(page, CompressionLzw); }));
    }
    return 0;
}
