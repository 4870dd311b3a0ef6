// Fuzz target (e): the JPEG strip coder and the JPEG directory layout
// against libtiff's reader.
//
// An input is a page of grey or RGB rows: its width, quality, strip height,
// how it is cut into bands, the size of the code buffer, and its sample
// bytes (repeated). The page is coded band by band and then in one band:
// the strips must be the same bytes, and the page wrapped in a TIFF by the
// JPEG layout must be read by libtiff at its size, every strip decoded.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "memory_tiff.h"
#include "tiff/byte_order.h"
#include "tiff/directory_layout.h"
#include "tiff/directory_writer.h"
#include "tiff/file_header.h"
#include "tiff/jpeg_strip_coder.h"

namespace {

constexpr uint32_t kMaxWidth = 2000;
constexpr size_t kMaxBytes = 1u << 20;

class VectorSink final : public JpegStripSink {
public:
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        code.insert(code.end(), bytes, bytes + count);
        return StatusOk;
    }
    PluginStatus EndStrip(uint32_t stripBytes) override {
        counts.push_back(stripBytes);
        return StatusOk;
    }
    fuzz::Bytes code;
    std::vector<uint32_t> counts;
};

[[noreturn]] void Fail(const char* what, const JpegPageShape& shape, uint32_t height) {
    fprintf(stderr, "jpeg fuzz: %s (%ux%u, %u samples, quality %u, %u rows a strip)\n", what, shape.width, height,
            shape.samplesPerPixel, shape.quality, shape.rowsPerStrip);
    abort();
}

// The page's little-endian file: header, strips, directory.
fuzz::Bytes WrapInTiff(const VectorSink& coded, const JpegStripCoder& coder, const JpegPageShape& shape,
                       uint32_t height) {
    const int32_t format = shape.samplesPerPixel == 3 ? FormatRgb24 : FormatGray8;
    const TrailingLayoutRequest request{format,
                                        false,
                                        0,
                                        kHeaderBytes,
                                        {shape.width, height, 300, 300},
                                        shape.rowsPerStrip,
                                        coded.counts.data(),
                                        static_cast<uint32_t>(coded.counts.size()),
                                        coder.tables(),
                                        coder.tablesBytes()};
    PagePlan plan;
    if (PlanTrailingPage(request, &plan) != StatusOk) Fail("layout refused", shape, height);
    fuzz::Bytes staging(plan.stagingBytes, 0);
    FillTrailingDirectory(request, plan, staging.data());
    fuzz::Bytes file(plan.endOffset, 0);
    PutShort(&file[0], ByteOrderIntel, ByteOrderIntel);
    PutShort(&file[2], kTiffMagic, ByteOrderIntel);
    PutLong(&file[4], plan.directoryOffset, ByteOrderIntel);
    std::copy(coded.code.begin(), coded.code.end(), file.begin() + kHeaderBytes);
    const StagedDirectory directory{staging.data(), plan.stagingBytes, plan.entryCount, plan.entryBase};
    uint32_t size = 0;
    if (SerializeDirectory(directory, nullptr, ByteOrderIntel, &file[plan.directoryOffset], plan.blockBytes, &size) !=
        StatusOk)
        Fail("directory refused", shape, height);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    JpegPageShape shape{};
    shape.samplesPerPixel = data.ConsumeBool() ? 3 : 1;
    shape.width = data.ConsumeIntegralInRange<uint32_t>(1, kMaxWidth);
    shape.quality = data.ConsumeIntegralInRange<uint32_t>(kMinJpegQuality, kMaxJpegQuality);
    shape.rowsPerStrip = JpegMcuRows(shape.samplesPerPixel) * data.ConsumeIntegralInRange<uint32_t>(1, 4);
    const uint32_t bandRows = data.ConsumeIntegralInRange<uint32_t>(0, 40);  // 0: one band
    const uint32_t codeBytes = data.ConsumeIntegralInRange<uint32_t>(kMinJpegCodeBufferBytes, 65536);
    const size_t rowBytes = size_t{shape.width} * shape.samplesPerPixel;
    uint32_t height = data.ConsumeIntegralInRange<uint32_t>(1, 200);
    if (rowBytes * height > kMaxBytes) height = static_cast<uint32_t>(kMaxBytes / rowBytes);
    fuzz::Bytes page(rowBytes * height, 0);
    const fuzz::Bytes bytes = data.ConsumeRemainingBytes<uint8_t>();
    for (size_t i = 0; i < page.size() && !bytes.empty(); ++i) page[i] = bytes[i % bytes.size()];

    fuzz::Bytes rows(static_cast<size_t>(JpegStripBufferBytes(shape)));
    fuzz::Bytes code(codeBytes);
    const JpegCoderMemory memory{rows.data(), rows.size(), code.data(), codeBytes, nullptr, nullptr, 0};
    VectorSink coded[2];
    JpegStripCoder coder;
    for (int pass = 0; pass < 2; ++pass) {
        if (coder.Begin(shape, memory) != StatusOk) Fail("shape refused", shape, height);
        const uint32_t step = bandRows == 0 || pass == 1 ? height : bandRows;
        for (uint32_t y = 0; y < height; y += step) {
            const uint32_t count = std::min(step, height - y);
            if (coder.CodeRows(&page[rowBytes * y], count, rowBytes, coded[pass]) != StatusOk)
                Fail("band refused", shape, height);
        }
        if (coder.Finish(coded[pass]) != StatusOk) Fail("page end refused", shape, height);
    }
    if (coded[0].code != coded[1].code || coded[0].counts != coded[1].counts)
        Fail("the strips depend on the bands", shape, height);
    if (!fuzz::DecodesAsJpegPage(WrapInTiff(coded[1], coder, shape, height), shape.width, height))
        Fail("libtiff cannot read the page", shape, height);
    return 0;
}
