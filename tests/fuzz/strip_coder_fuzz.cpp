// Fuzz target (d): the LZW, Deflate and PackBits coders and the horizontal
// predictor against libtiff's decoders.
//
// An input is a page of 8- or 16-bit samples, one or three to a pixel, in
// either byte order: its width, how it is cut into bands, its compression and
// predictor, and its sample bytes (repeated, or as runs of one byte, so that
// long strings and full LZW tables are reached). The page is coded band by
// band as the plug-in codes it, in strips of at most 256 KiB of rows;
// libtiff must decode each strip back to exactly its rows of the page, and
// the page coded in one band must give the same strips (large Deflate bands
// are shared between two threads, across strip ends). The page's rows are then
// coded with PackBits, in the input's bands through the smallest code buffer
// and in one band: the same strip, which libtiff must decode back.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/setting_values.h"
#include "memory_tiff.h"
#include "page/deflate_coder.h"
#include "page/lzw_coder.h"
#include "page/strip_counts.h"
#include "tiff/horizontal_predictor.h"
#include "tiff/image_format.h"
#include "tiff/packbits_encoder.h"

namespace {

constexpr uint32_t kMaxWidth = 4000;
constexpr size_t kMaxBytes = 1u << 20;

class VectorSink final : public CodeSink {
public:
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        code.insert(code.end(), bytes, bytes + count);
        return StatusOk;
    }
    fuzz::Bytes code;
};

// Sample bytes as runs: a length byte, then the byte repeated.
void FillFromRuns(FuzzedDataProvider& data, fuzz::Bytes& rows) {
    size_t at = 0;
    while (at < rows.size() && data.remaining_bytes() >= 2) {
        const size_t run = std::min<size_t>(size_t{data.ConsumeIntegral<uint8_t>()} * 16 + 1, rows.size() - at);
        const uint8_t value = data.ConsumeIntegral<uint8_t>();
        std::fill(rows.begin() + at, rows.begin() + at + run, value);
        at += run;
    }
}

[[noreturn]] void Fail(const char* what, const fuzz::CodedStrip& f) {
    fprintf(stderr, "strip fuzz: %s (compression %u, predictor %u, %ux%u, %u bits x %u, %s)\n", what, f.compression,
            f.predictor, f.width, f.height, f.bitsPerSample, f.samplesPerPixel, f.bigEndian ? "MM" : "II");
    abort();
}

fuzz::Bytes PackBitsStrip(const fuzz::Bytes& page, size_t rowBytes, uint32_t height, uint32_t bandRows,
                          uint32_t bufferBytes, const fuzz::CodedStrip& format) {
    VectorSink sink;
    fuzz::Bytes buffer(bufferBytes);
    CodeBuffer out(buffer.data(), bufferBytes, sink);
    const uint32_t step = bandRows == 0 ? height : bandRows;
    for (uint32_t y = 0; y < height; y += step) {
        const uint32_t rows = std::min(step, height - y);
        if (EncodePackBits(page.data() + y * rowBytes, rowBytes, rows, out) != StatusOk) Fail("band refused", format);
    }
    if (out.Flush() != StatusOk) Fail("page end refused", format);
    return sink.code;
}

// `page` holds the rows as the strip holds them; `decodedPage`, as libtiff
// gives them back.
void CheckPackBits(const fuzz::Bytes& page, const fuzz::Bytes& decodedPage, size_t rowBytes, uint32_t bandRows,
                   fuzz::CodedStrip format) {
    format.compression = 32773;
    format.predictor = 1;
    const fuzz::Bytes strip = PackBitsStrip(page, rowBytes, format.height, bandRows, kPackBitsUnitBytes, format);
    if (strip != PackBitsStrip(page, rowBytes, format.height, 0, 1u << 16, format))
        Fail("the strip depends on the bands or the code buffer", format);
    fuzz::Bytes decoded;
    if (!fuzz::DecodeCodedStrip(strip, format, &decoded)) Fail("libtiff cannot decode the strip", format);
    if (decoded != decodedPage) Fail("decoded rows differ from the page", format);
}

// The page's format as the plug-in names it.
int32_t PageFormatOf(const fuzz::CodedStrip& format) {
    if (format.samplesPerPixel == 3) return format.bitsPerSample == 16 ? FormatRgb48 : FormatRgb24;
    return format.bitsPerSample == 16 ? FormatGray16 : FormatGray8;
}

// Each strip decoded on its own by libtiff, the rows one after another: the
// strips must add up to the code and hold `stripRows` rows each but the last.
fuzz::Bytes DecodeStrips(const fuzz::Bytes& code, const StripCounts& counts, uint32_t stripRows,
                         const fuzz::CodedStrip& format) {
    if (counts.size() != (format.height + stripRows - 1) / stripRows) Fail("strips do not cover the rows", format);
    fuzz::Bytes rows;
    size_t at = 0;
    for (uint32_t strip = 0; strip < counts.size(); ++strip) {
        fuzz::CodedStrip part = format;
        part.height = std::min(stripRows, format.height - strip * stripRows);
        const size_t bytes = counts.data()[strip];
        if (bytes > code.size() - at) Fail("strips longer than the code", format);
        fuzz::Bytes decoded;
        if (!fuzz::DecodeCodedStrip(fuzz::Bytes(code.begin() + at, code.begin() + at + bytes), part, &decoded))
            Fail("libtiff cannot decode a strip", format);
        rows.insert(rows.end(), decoded.begin(), decoded.end());
        at += bytes;
    }
    if (at != code.size()) Fail("strips shorter than the code", format);
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    fuzz::CodedStrip format{};
    format.compression = data.ConsumeBool() ? CompressionLzw : CompressionDeflate;
    format.predictor = data.ConsumeBool() ? 2 : 1;
    format.bitsPerSample = data.ConsumeBool() ? 16 : 8;
    format.samplesPerPixel = data.ConsumeBool() ? 3 : 1;
    format.bigEndian = data.ConsumeBool();
    format.width = data.ConsumeIntegralInRange<uint32_t>(1, kMaxWidth);
    const uint32_t bandRows = data.ConsumeIntegralInRange<uint32_t>(0, 16);  // 0: one band
    const bool runs = data.ConsumeBool();
    const size_t rowBytes = size_t{format.width} * format.samplesPerPixel * format.bitsPerSample / 8;
    format.height = data.ConsumeIntegralInRange<uint32_t>(1, 256);
    if (rowBytes * format.height > kMaxBytes) format.height = static_cast<uint32_t>(kMaxBytes / rowBytes);

    fuzz::Bytes page(rowBytes * format.height, 0);
    if (runs) {
        FillFromRuns(data, page);
    } else {
        fuzz::Bytes bytes = data.ConsumeRemainingBytes<uint8_t>();
        for (size_t i = 0; i < page.size() && !bytes.empty(); ++i) page[i] = bytes[i % bytes.size()];
    }

    // Band by band as the input cuts the page, then in one band: the strips
    // must not depend on the bands (nor on which thread coded which part).
    const int32_t pageFormat = PageFormatOf(format);
    fuzz::Bytes code[2];
    StripCounts counts[2];
    for (int pass = 0; pass < 2; ++pass) {
        LzwCoder lzw;
        DeflateCoder deflate;
        StreamCoder& coder = format.compression == CompressionLzw ? static_cast<StreamCoder&>(lzw) : deflate;
        if (coder.BeginPage({pageFormat, format.width, 0, &counts[pass]}) != StatusOk) Fail("page refused", format);
        VectorSink sink;
        const uint32_t step = bandRows == 0 || pass == 1 ? format.height : bandRows;
        for (uint32_t y = 0; y < format.height; y += step) {
            const uint32_t rows = std::min(step, format.height - y);
            fuzz::Bytes band(page.begin() + y * rowBytes, page.begin() + (y + rows) * rowBytes);
            if (format.predictor == 2)
                DifferenceRows(band.data(), rows, rowBytes, format.samplesPerPixel, format.bitsPerSample,
                               format.bigEndian ? ByteOrderMotorola : ByteOrderIntel);
            if (coder.CodeStripRows(band.data(), band.size(), rows, sink) != StatusOk) Fail("band refused", format);
        }
        if (coder.Finish(sink) != StatusOk) Fail("page end refused", format);
        code[pass] = std::move(sink.code);
    }
    if (code[0] != code[1] || counts[0].size() != counts[1].size() ||
        !std::equal(counts[0].data(), counts[0].data() + counts[0].size(), counts[1].data()))
        Fail("the strips depend on the bands", format);

    // libtiff gives 16-bit samples in the machine's (little-endian) order.
    const fuzz::Bytes stripRows = page;
    if (format.bitsPerSample == 16 && format.bigEndian)
        for (size_t i = 0; i + 1 < page.size(); i += 2) std::swap(page[i], page[i + 1]);
    const fuzz::Bytes decoded = DecodeStrips(code[0], counts[0], BoundedStripRows(pageFormat, format.width), format);
    if (decoded != page) Fail("decoded rows differ from the page", format);
    CheckPackBits(stripRows, page, rowBytes, bandRows, format);
    return 0;
}
