// The JPEG strip coder: pages of the benchmark's generator coded band by
// band, wrapped in a TIFF by the JPEG directory layout, and decoded by
// libtiff, Pillow and ImageMagick (jpeg_check.py); the streams' structure;
// its statuses for bad shapes, misuse and a failing sink.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "tiff/byte_order.h"
#include "tiff/directory_layout.h"
#include "tiff/directory_writer.h"
#include "tiff/file_header.h"
#include "tiff/image_format.h"
#include "tiff/jpeg_strip_coder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using test_support::ScratchDirectory;

struct SourcePage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t samples = 0;
    Bytes pixels;
};

// A page of bench/make_scan_pages ("photo": RGB, "grey": 8-bit), written
// to `path` and read back.
SourcePage MakePage(const std::string& kind, uint32_t width, uint32_t height, const std::string& path) {
    const std::string command = test_support::BinDirectory() + "/make_scan_pages " + kind + " " +
                                std::to_string(width) + " " + std::to_string(height) + " 7 " + path;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    const Bytes file = test_support::ReadFileBytes(path);
    SourcePage page{width, height, kind == "photo" ? 3u : 1u, {}};
    const size_t bytes = size_t{width} * height * page.samples;
    EXPECT_GE(file.size(), bytes);
    if (file.size() >= bytes) page.pixels.assign(file.end() - static_cast<std::ptrdiff_t>(bytes), file.end());
    return page;
}

class CollectingSink final : public JpegStripSink {
public:
    PluginStatus Append(const uint8_t* bytes, uint32_t count) override {
        if (failAfter != 0 && code.size() + count > failAfter) return StatusDiskFull;
        code.insert(code.end(), bytes, bytes + count);
        return StatusOk;
    }
    PluginStatus EndStrip(uint32_t stripBytes) override {
        counts.push_back(stripBytes);
        return counts.size() == failAtStrip ? StatusWriteFailed : StatusOk;
    }
    Bytes code;
    std::vector<uint32_t> counts;
    size_t failAfter = 0;    // Append fails once the code would pass this many bytes
    size_t failAtStrip = 0;  // EndStrip fails at this strip (1-based)
};

// A side thread of the test's own: one that runs its work, one the platform
// cannot give, and one a busy machine does not run before the work is ended.
enum class SideKind { Runs, Refused, NeverRuns };
class TestSideThread final : public JpegSideThread {
public:
    explicit TestSideThread(SideKind sideKind) : kind(sideKind) {}
    ~TestSideThread() { Finish(); }
    bool Start(void (*work)(void*), void* context) override {
        ++started;
        if (kind == SideKind::Runs) thread = std::thread(work, context);
        return kind != SideKind::Refused;
    }
    void Finish() override {
        if (thread.joinable()) thread.join();
    }
    SideKind kind;
    std::thread thread;
    int started = 0;
};

struct CoderMemory {
    // sideCodeBytes 0: no side thread.
    explicit CoderMemory(const JpegPageShape& shape, uint32_t codeBytes = 4096, uint32_t sideCodeBytes = 0,
                         JpegSideThread* sideThread = nullptr)
        : rows(static_cast<size_t>(JpegStripBufferBytes(shape))),
          code(codeBytes),
          sideCode(sideCodeBytes),
          side(sideThread) {}
    JpegCoderMemory get() {
        return {rows.data(),
                rows.size(),
                code.data(),
                static_cast<uint32_t>(code.size()),
                side,
                sideCode.empty() ? nullptr : sideCode.data(),
                static_cast<uint32_t>(sideCode.size())};
    }
    Bytes rows;
    Bytes code;
    Bytes sideCode;
    JpegSideThread* side;
};

struct CodedPage {
    Bytes strips;
    std::vector<uint32_t> counts;
    Bytes tables;
};

// Codes the page in bands of `bandRows` rows, each band's rows padded to 4
// bytes as a host lays them out; with a side thread where one is given.
CodedPage CodeInBands(const SourcePage& page, const JpegPageShape& shape, uint32_t bandRows,
                      JpegSideThread* side = nullptr, uint32_t sideCodeBytes = 0) {
    JpegStripCoder coder;
    CoderMemory memory(shape, 4096, sideCodeBytes, side);
    CollectingSink sink;
    EXPECT_EQ(coder.Begin(shape, memory.get()), StatusOk);
    const size_t rowBytes = size_t{page.width} * page.samples;
    const size_t stride = (rowBytes + 3) & ~size_t{3};
    for (uint32_t y = 0; y < page.height; y += bandRows) {
        const uint32_t rows = std::min(bandRows, page.height - y);
        Bytes band(stride * rows, 0xEE);
        for (uint32_t i = 0; i < rows; ++i) std::memcpy(&band[stride * i], &page.pixels[rowBytes * (y + i)], rowBytes);
        EXPECT_EQ(coder.CodeRows(band.data(), rows, stride, sink), StatusOk);
    }
    EXPECT_EQ(coder.Finish(sink), StatusOk);
    EXPECT_EQ(coder.rowsTaken(), page.height);
    EXPECT_EQ(coder.stripsEnded(), sink.counts.size());
    return {sink.code, sink.counts, Bytes(coder.tables(), coder.tables() + coder.tablesBytes())};
}

// A one-page TIFF, little-endian: header, strips, then the directory.
Bytes WrapInTiff(const CodedPage& coded, const SourcePage& page, uint32_t rowsPerStrip) {
    const int32_t format = page.samples == 3 ? FormatRgb24 : FormatGray8;
    TrailingLayoutRequest request{format,
                                  false,
                                  0,
                                  kHeaderBytes,
                                  {page.width, page.height, 300, 300},
                                  rowsPerStrip,
                                  coded.counts.data(),
                                  static_cast<uint32_t>(coded.counts.size()),
                                  coded.tables.data(),
                                  static_cast<uint32_t>(coded.tables.size())};
    PagePlan plan;
    EXPECT_EQ(PlanTrailingPage(request, &plan), StatusOk);
    Bytes staging(plan.stagingBytes, 0);
    FillTrailingDirectory(request, plan, staging.data());
    Bytes file(plan.endOffset, 0);
    const TiffHeader header = HeaderFor(ByteOrderIntel);
    PutShort(&file[0], header.byteOrder, ByteOrderIntel);
    PutShort(&file[2], header.magic, ByteOrderIntel);
    PutLong(&file[4], plan.directoryOffset, ByteOrderIntel);
    std::copy(coded.strips.begin(), coded.strips.end(), file.begin() + kHeaderBytes);
    StagedDirectory directory{staging.data(), plan.stagingBytes, plan.entryCount, plan.entryBase};
    uint32_t size = 0;
    EXPECT_EQ(
        SerializeDirectory(directory, nullptr, ByteOrderIntel, &file[plan.directoryOffset], plan.blockBytes, &size),
        StatusOk);
    EXPECT_EQ(size, plan.blockBytes);
    return file;
}

// The markers of a stream up to its first SOS, after its SOI; EOI when the
// stream is tables only.
std::vector<uint8_t> MarkersOf(const uint8_t* stream, size_t size) {
    std::vector<uint8_t> markers;
    if (size < 4 || stream[0] != 0xFF || stream[1] != 0xD8) return {0};
    for (size_t at = 2; at + 2 <= size;) {
        if (stream[at] != 0xFF) return {0};
        const uint8_t marker = stream[at + 1];
        markers.push_back(marker);
        if (marker == 0xDA || marker == 0xD9 || at + 4 > size) break;
        at += 2 + (size_t{stream[at + 2]} << 8 | stream[at + 3]);
    }
    return markers;
}

struct ReaderCase {
    const char* kind;
    uint32_t width;
    uint32_t height;
    uint32_t bandRows;
    uint32_t quality;
    double minPsnr;
};

// The photo-like pages at the default quality hold 37 dB; odd sizes, short
// last strips and bands of every height change nothing of that.
constexpr ReaderCase kReaderCases[] = {
    {"photo", 1240, 1754, 100, 90, 37},                                  // A4 at 150 dpi
    {"grey", 1240, 1754, 100, 90, 37},  {"photo", 333, 101, 7, 90, 37},  // odd sizes, the last strip 5 rows
    {"grey", 333, 101, 16, 90, 37},     {"photo", 17, 1, 1, 90, 30},     // one row, one pixel past an MCU
    {"grey", 1, 9, 7, 90, 30},          {"photo", 64, 48, 1, 100, 39},   // the halved chroma of a noisy photo caps it
    {"photo", 64, 48, 16, 1, 15},                                        // the coarsest tables still decode
};

TEST(JpegStripCoderTest, IndependentReadersDecodeThePageClosely) {
    ScratchDirectory scratch("zeduz-jpeg-");
    const std::string checker =
        std::string(__FILE__).substr(0, std::string(__FILE__).find_last_of('/') + 1) + "jpeg_check.py";
    for (const ReaderCase& c : kReaderCases) {
        SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(c.width) + "x" + std::to_string(c.height) + " bands " +
                     std::to_string(c.bandRows) + " q" + std::to_string(c.quality));
        const std::string source = scratch.file("source.pnm");
        const SourcePage page = MakePage(c.kind, c.width, c.height, source);
        const JpegPageShape shape{c.width, page.samples, c.quality, kDefaultJpegStripRows};
        const CodedPage coded = CodeInBands(page, shape, c.bandRows);
        ASSERT_EQ(coded.counts.size(), (c.height + 15) / 16);
        const std::string tiff = scratch.file("page.tif");
        const Bytes file = WrapInTiff(coded, page, kDefaultJpegStripRows);
        test_support::WriteWholeFile(tiff, std::string(file.begin(), file.end()));
        const std::string command = "/usr/bin/python3 " + checker + " " + tiff + " " + source + " " +
                                    std::to_string(c.minPsnr) + " " + std::to_string(kDefaultJpegStripRows);
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
}

// Tables in JPEGTables only, the strips' streams abbreviated, and the same
// bytes however the rows arrive.
TEST(JpegStripCoderTest, StreamsAreAbbreviatedAndIndependentOfTheBands) {
    ScratchDirectory scratch("zeduz-jpeg-");
    struct Kind {
        const char* name;
        std::vector<uint8_t> tableMarkers;
    };
    const Kind kinds[] = {
        {"photo", {0xDB, 0xDB, 0xC4, 0xC4, 0xC4, 0xC4, 0xD9}},
        {"grey", {0xDB, 0xC4, 0xC4, 0xD9}},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const SourcePage page = MakePage(kind.name, 101, 70, scratch.file("source.pnm"));
        const uint32_t stripRows = page.samples == 3 ? 32 : 8;
        const JpegPageShape shape{page.width, page.samples, kDefaultJpegQuality, stripRows};
        const CodedPage whole = CodeInBands(page, shape, page.height);
        EXPECT_EQ(MarkersOf(whole.tables.data(), whole.tables.size()), kind.tableMarkers);
        size_t at = 0;
        for (uint32_t count : whole.counts) {
            const uint8_t* strip = whole.strips.data() + at;
            EXPECT_EQ(MarkersOf(strip, count), (std::vector<uint8_t>{0xC0, 0xDA}));
            EXPECT_TRUE(strip[count - 2] == 0xFF && strip[count - 1] == 0xD9);
            at += count;
        }
        EXPECT_EQ(at, whole.strips.size());
        for (uint32_t bandRows : {1u, 7u, 16u, 100u}) {
            const CodedPage banded = CodeInBands(page, shape, bandRows);
            EXPECT_EQ(banded.strips, whole.strips) << "bands of " << bandRows;
            EXPECT_EQ(banded.counts, whole.counts) << "bands of " << bandRows;
        }
        // A side thread changes no byte: whether it is had, whether its
        // buffer holds all of its strips (the rest coded again on the
        // calling thread), whatever the band.
        struct Side {
            SideKind kind;
            uint32_t codeBytes;
            uint32_t bandRows;
        };
        // Bands of whole strips leave their last strip to the side, coded
        // while the next band comes.
        for (const Side& side :
             {Side{SideKind::Runs, 65536, 70}, Side{SideKind::Runs, 65536, 2 * stripRows},
              Side{SideKind::Runs, 1024, 70}, Side{SideKind::Runs, 1024, stripRows},
              Side{SideKind::Refused, 65536, 2 * stripRows}, Side{SideKind::NeverRuns, 65536, 2 * stripRows}}) {
            SCOPED_TRACE("side " + std::to_string(static_cast<int>(side.kind)) + ", code " +
                         std::to_string(side.codeBytes) + ", bands of " + std::to_string(side.bandRows));
            TestSideThread thread(side.kind);
            const CodedPage shared = CodeInBands(page, shape, side.bandRows, &thread, side.codeBytes);
            EXPECT_EQ(shared.strips, whole.strips);
            EXPECT_EQ(shared.counts, whole.counts);
            EXPECT_GT(thread.started, 0);
        }
    }
}

TEST(JpegStripCoderTest, ShapesItCannotCodeAreRefused) {
    struct Case {
        JpegPageShape shape;
        PluginStatus status;
    };
    const Case cases[] = {
        {{100, 3, 90, 16}, StatusOk},
        {{100, 1, 90, 8}, StatusOk},
        {{kMaxJpegWidth, 3, 100, kMaxJpegStripRows}, StatusOk},
        {{100, 3, 90, 8}, StatusBadRecord},  // half an MCU row of colour
        {{100, 1, 90, 12}, StatusBadRecord},
        {{100, 1, 90, 0}, StatusBadRecord},
        {{100, 1, 90, kMaxJpegStripRows + 8}, StatusBadRecord},
        {{0, 3, 90, 16}, StatusBadRecord},
        {{100, 3, 0, 16}, StatusBadRecord},
        {{100, 3, 101, 16}, StatusBadRecord},
        {{kMaxJpegWidth + 1, 3, 90, 16}, StatusUnsupportedImage},
        {{100, 2, 90, 16}, StatusUnsupportedImage},
        {{100, 4, 90, 16}, StatusUnsupportedImage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.shape.width) + " " + std::to_string(c.shape.samplesPerPixel) + " q" +
                     std::to_string(c.shape.quality) + " rows " + std::to_string(c.shape.rowsPerStrip));
        EXPECT_EQ(CheckJpegShape(c.shape), c.status);
        if (c.shape.width > 4096) continue;  // no need for a buffer that large
        JpegStripCoder coder;
        CoderMemory memory(c.shape);
        EXPECT_EQ(coder.Begin(c.shape, memory.get()), c.status);
    }
    const JpegPageShape shape{100, 3, 90, 16};
    CoderMemory memory(shape);
    JpegCoderMemory small = memory.get();
    --small.stripRowsBytes;
    JpegStripCoder coder;
    EXPECT_EQ(coder.Begin(shape, small), StatusBadRecord);
    small = memory.get();
    small.codeBytes = kMinJpegCodeBufferBytes - 1;
    EXPECT_EQ(coder.Begin(shape, small), StatusBadRecord);
}

// Misuse and failing sinks end in a status, and a coder that failed takes
// nothing more; libjpeg's jump out of a full buffer whose sink fails lands
// in the coder, not in a crash.
TEST(JpegStripCoderTest, MisuseAndFailingSinksGetStatuses) {
    const JpegPageShape shape{300, 3, 90, 16};
    Bytes rows(size_t{300} * 3 * 40);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 7 + i / 900);
    CoderMemory memory(shape, kMinJpegCodeBufferBytes);
    CollectingSink sink;
    {
        JpegStripCoder coder;
        EXPECT_EQ(coder.CodeRows(rows.data(), 1, 900, sink), StatusBadSequence);
        EXPECT_EQ(coder.Finish(sink), StatusBadSequence);
        ASSERT_EQ(coder.Begin(shape, memory.get()), StatusOk);
        EXPECT_EQ(coder.Finish(sink), StatusBadSequence);  // no row yet
        EXPECT_EQ(coder.CodeRows(rows.data(), 1, 899, sink), StatusBadRecord);
        EXPECT_EQ(coder.CodeRows(rows.data(), 1, 900, sink), StatusBadSequence);  // it failed
    }
    struct Failure {
        size_t failAfter;
        size_t failAtStrip;
        PluginStatus status;
    };
    for (const Failure& f : {Failure{1, 0, StatusDiskFull}, Failure{3000, 0, StatusDiskFull},
                             Failure{0, 1, StatusWriteFailed}, Failure{0, 3, StatusWriteFailed}}) {
        SCOPED_TRACE("fail after " + std::to_string(f.failAfter) + " bytes, at strip " + std::to_string(f.failAtStrip));
        JpegStripCoder coder;
        CollectingSink failing;
        failing.failAfter = f.failAfter;
        failing.failAtStrip = f.failAtStrip;
        ASSERT_EQ(coder.Begin(shape, memory.get()), StatusOk);
        PluginStatus status = coder.CodeRows(rows.data(), 40, 900, failing);
        if (status == StatusOk) status = coder.Finish(failing);
        EXPECT_EQ(status, f.status);
        EXPECT_EQ(coder.CodeRows(rows.data(), 1, 900, failing), StatusBadSequence);
        EXPECT_EQ(coder.Finish(failing), StatusBadSequence);
        // Begun again, it codes a page as if nothing had happened.
        CollectingSink fine;
        ASSERT_EQ(coder.Begin(shape, memory.get()), StatusOk);
        EXPECT_EQ(coder.CodeRows(rows.data(), 40, 900, fine), StatusOk);
        EXPECT_EQ(coder.Finish(fine), StatusOk);
        EXPECT_EQ(fine.counts.size(), 3u);
    }
}

}  // namespace
