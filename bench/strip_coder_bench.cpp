// The Deflate, LZW and PackBits choices, measured: one page (PNM, 8- or
// 16-bit) is differenced as the plug-in differences it (Predictor 2), then
// coded whole by zlib at several levels and strategies (in 64-row bands), by
// libdeflate at several levels (the page in one call, and in strips of 64
// rows, its only way to bound memory), and by the plug-in's own Deflate and
// LZW coders. The page's rows as they are (PackBits pages have no predictor)
// are coded by our PackBits coder and libtiff's, whose strips must be the
// same; bilevel pages (PBM) go to the PackBits coders only. Prints speed (MB
// of page per second, best of three) and size.
//
//   strip_coder_bench page.ppm|page.pgm|page.pbm ...
#include <libdeflate.h>
#include <tiffio.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/setting_values.h"
#include "libtiff_memory.h"
#include "page/deflate_coder.h"
#include "page/lzw_coder.h"
#include "tiff/horizontal_predictor.h"
#include "tiff/packbits_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kBandRows = 64;

struct Page {
    uint32_t width = 0, height = 0, samples = 0, bits = 0;
    Bytes raw;   // the strip's rows: 16-bit samples little-endian, bilevel rows 1 = black
    Bytes rows;  // the same differenced (not for bilevel pages)
    size_t rowBytes() const { return (size_t{width} * samples * bits + 7) / 8; }
};

bool ReadPnm(const char* path, Page* page) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    char magic[3] = {};
    unsigned maxValue = 1;
    if (std::fscanf(file, "%2s %u %u", magic, &page->width, &page->height) != 3) return false;
    const bool bilevel = std::strcmp(magic, "P4") == 0;
    if (!bilevel && std::fscanf(file, "%u", &maxValue) != 1) return false;
    std::fgetc(file);
    page->samples = std::strcmp(magic, "P6") == 0 ? 3 : 1;
    page->bits = bilevel ? 1 : maxValue > 255 ? 16 : 8;
    page->raw.resize(page->rowBytes() * page->height);
    const bool read = std::fread(page->raw.data(), 1, page->raw.size(), file) == page->raw.size();
    std::fclose(file);
    if (page->bits == 16)
        for (size_t i = 0; i + 1 < page->raw.size(); i += 2) std::swap(page->raw[i], page->raw[i + 1]);
    if (!bilevel) {
        page->rows = page->raw;
        DifferenceRows(page->rows.data(), page->height, page->rowBytes(), page->samples, page->bits, ByteOrderIntel);
    }
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

class VectorSink final : public CodeSink {
public:
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        code.insert(code.end(), bytes, bytes + count);
        return StatusOk;
    }
    Bytes code;
};

// Our PackBits coder, band by band through a code buffer as the plug-in's
// other coders have.
Bytes OurPackBits(const Page& page) {
    VectorSink sink;
    Bytes buffer(128 * 1024);
    CodeBuffer out(buffer.data(), static_cast<uint32_t>(buffer.size()), sink);
    const size_t rowBytes = page.rowBytes();
    for (uint32_t y = 0; y < page.height; y += kBandRows) {
        const uint32_t rows = std::min(kBandRows, page.height - y);
        EncodePackBits(page.raw.data() + y * rowBytes, rowBytes, rows, out);
    }
    out.Flush();
    return std::move(sink.code);
}

// libtiff's PackBits coder, row by row into a file in memory.
void LibtiffPackBits(const Page& page, MemoryFile& file) {
    TIFF* tiff = OpenMemory(file, "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.samples);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.height);
    const size_t rowBytes = page.rowBytes();
    Bytes row(rowBytes);  // libtiff may alter the row it is given
    for (uint32_t y = 0; y < page.height; ++y) {
        std::memcpy(row.data(), page.raw.data() + y * rowBytes, rowBytes);
        TIFFWriteScanline(tiff, row.data(), y, 0);
    }
    TIFFClose(tiff);
}

void Report(const std::string& method, const Page& page, std::pair<double, size_t> result) {
    std::printf("  %-34s %8.1f MB/s %12zu bytes  %5.1f%%\n", method.c_str(), page.raw.size() / result.first / 1e6,
                result.second, 100.0 * result.second / page.raw.size());
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
                    page.raw.size());
        MemoryFile file;
        LibtiffPackBits(page, file);
        const Bytes libtiffStrip = RawStrip(file);
        if (OurPackBits(page) != libtiffStrip) {
            std::fprintf(stderr, "%s: our PackBits strip differs from libtiff's\n", argv[i]);
            return 1;
        }
        const auto ours = Measure([&] { return OurPackBits(page).size(); });
        const auto libtiff = Measure([&] {
            LibtiffPackBits(page, file);
            return libtiffStrip.size();
        });
        Report("plug-in PackBits", page, ours);
        Report("libtiff PackBits (the same strip)", page, libtiff);
        std::printf("  PackBits speed ratio ours/libtiff: %.2f\n", libtiff.first / ours.first);
        if (page.bits == 1) continue;
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
