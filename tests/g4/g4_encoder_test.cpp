// The coder's own rules: the small cases whose bits are known, the size
// bound of the code area, refused band layouts and failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "g4_test_support.h"
#include "output/file_handle.h"
#include "page/group4_coder.h"
#include "page/strip_sink.h"
#include "platform/testing.h"
#include "tiff/g3_encoder.h"
#include "tiff/g4_encoder.h"
#include "tiff/g4_runs.h"
#include "tiff/image_format.h"

namespace {

using platform::testing::FailCalls;
using platform::testing::Service;

const std::string kEndOfBlock = "000000000001000000000001";

// The strip bits a page must give: its code, the end-of-block, 0 padding.
std::string StripBits(const std::string& code) {
    std::string bits = code + kEndOfBlock;
    while (bits.size() % 8 != 0) bits += '0';
    return bits;
}

PixelIsBlack Runs(std::vector<std::vector<std::pair<uint32_t, uint32_t>>> blackRunsPerRow) {
    return [=](uint32_t x, uint32_t y) {
        for (auto [first, last] : blackRunsPerRow[y])
            if (x >= first && x <= last) return true;
        return false;
    };
}

TEST(G4Coder, KnownCodes) {
    struct Case {
        const char* what;
        uint32_t width;
        std::vector<std::vector<std::pair<uint32_t, uint32_t>>> blackRuns;  // per row, inclusive
        std::string code;
    };
    const std::string row2to4 =
        "001"
        "0111"
        "10"
        "1";  // H white 2 black 3, V0
    const std::vector<Case> cases = {
        {"white row: V0", 16, {{}}, "1"},
        {"black row: H white 0, black 20",
         20,
         {{{0, 19}}},
         "001"
         "00110101"
         "00001101000"},
        {"3 white 2 black 11 white",
         16,
         {{{3, 4}}},
         "001"
         "1000"
         "11"
         "1"},
        {"pass, then H white 5 black 2, V0",
         16,
         {{{2, 4}}, {{10, 11}}},
         row2to4 + "0001"
                   "001"
                   "1100"
                   "11"
                   "1"},
        {"same row again: three V0", 16, {{{2, 4}}, {{2, 4}}}, row2to4 + "111"},
        {"one pixel right: VR1 VR1 V0",
         16,
         {{{2, 4}}, {{3, 5}}},
         row2to4 + "011"
                   "011"
                   "1"},
        {"white 64 = make-up 64, term 0",
         74,
         {{{64, 73}}},
         "001"
         "11011"
         "00110101"
         "0000100"},
        {"white 2623 = make-up 2560, term 63",
         2633,
         {{{2623, 2632}}},
         "001"
         "000000011111"
         "00110100"
         "0000100"},
        {"white 2624 = make-ups 2560 and 64, term 0",
         2634,
         {{{2624, 2633}}},
         "001"
         "000000011111"
         "11011"
         "00110101"
         "0000100"},
        {"two rows of 5 bits share a byte",
         5,
         {{}, {}, {}, {}, {}, {}, {}, {}, {{0, 4}}},
         "11111111"
         "001"
         "00110101"
         "0011"},
    };
    for (const Case& c : cases) {
        const HostPage page = MakePage(c.width, static_cast<uint32_t>(c.blackRuns.size()), Runs(c.blackRuns));
        EXPECT_EQ(BitString(OurStrip(page)), StripBits(c.code)) << c.what;
        EXPECT_EQ(BitString(OurStrip(page, 1)), StripBits(c.code)) << c.what << ", one row a band";
    }
}

TEST(G4Coder, EndOfPageTakesThreeOrFourBytes) {
    G4CoderState coder;
    uint8_t end[kG4PageEndBytes];
    uint32_t size = FinishPageG4(coder, end);
    EXPECT_EQ(std::vector<uint8_t>(end, end + size), (std::vector<uint8_t>{0x00, 0x10, 0x01}));
    coder.bits = 0x80;  // one pending bit 1
    coder.freeBits = 7;
    size = FinishPageG4(coder, end);
    EXPECT_EQ(std::vector<uint8_t>(end, end + size), (std::vector<uint8_t>{0x80, 0x08, 0x00, 0x80}));
    EXPECT_EQ(coder.freeBits, 8);
    EXPECT_EQ(coder.bits, 0u);
}

// The code area is sized from MaxRowCodeBytes (Group 3: MaxG3RowCodeBytes):
// no row, however hostile, may code longer, pending bits of the row before
// included; a Group 3 row after the most fill bits an EOL can need.
TEST(G4Coder, NoRowCodesLongerThanTheBound) {
    std::mt19937 random(11);
    const auto holding31Bits = [](G4CoderState& coder, uint8_t* out) {
        coder.bits = 0xFE;  // 7 pending bits
        coder.freeBits = 1;
        G4BitWriter writer(coder, out, 0);
        writer.PutBits(0x1FFFFFF, 24);  // and 24 more held in the writer: 31
        return writer;
    };
    const auto worstRatio = [&](uint32_t width, const std::vector<uint8_t>& ref, const std::vector<uint8_t>& row) {
        std::vector<uint32_t> refChanges(width + kChangeListSlack), rowChanges(width + kChangeListSlack);
        FindChanges(ref.data(), width, true, refChanges.data());
        FindChanges(row.data(), width, true, rowChanges.data());
        std::vector<uint8_t> out(MaxG3RowCodeBytes(width) + 64);
        G4CoderState coder;
        G4BitWriter writer = holding31Bits(coder, out.data());
        Code2DRow(writer, rowChanges.data(), refChanges.data(), width);
        EXPECT_LE(writer.Finish(coder), MaxRowCodeBytes(width)) << "width " << width;
        for (bool oneDimensional : {true, false}) {
            G4BitWriter g3 = holding31Bits(coder, out.data());
            PutEndOfLine(g3, G3Coding{true, true, 2}, oneDimensional);
            if (oneDimensional)
                Code1DRow(g3, rowChanges.data(), width);
            else
                Code2DRow(g3, rowChanges.data(), refChanges.data(), width);
            EXPECT_LE(g3.Finish(coder), MaxG3RowCodeBytes(width)) << "Group 3, width " << width;
        }
    };
    for (uint32_t width = 1; width <= 8; ++width)
        for (unsigned r = 0; r < 256; ++r)
            for (unsigned c = 0; c < 256; ++c) worstRatio(width, {uint8_t(r)}, {uint8_t(c)});
    for (uint32_t width : {9u, 63u, 640u, 5000u}) {
        const uint32_t bytes = (width + 7) / 8;
        for (const auto& [ref, row] :
             std::vector<std::pair<uint8_t, uint8_t>>{{0x00, 0xAA}, {0x55, 0xAA}, {0xCC, 0x66}, {0x00, 0x80}}) {
            worstRatio(width, std::vector<uint8_t>(bytes, ref), std::vector<uint8_t>(bytes, row));
        }
        for (int i = 0; i < 50; ++i) {
            std::vector<uint8_t> ref(bytes), row(bytes);
            for (auto& b : ref) b = static_cast<uint8_t>(random());
            for (auto& b : row) b = static_cast<uint8_t>(random());
            worstRatio(width, ref, row);
        }
    }
}

TEST(G4Coder, RefusesBandLayoutsThatCannotBe) {
    std::vector<uint8_t> pixels(64, 0xFF);
    const auto* nearTop = reinterpret_cast<const uint8_t*>(UINTPTR_MAX - 100);
    struct Case {
        const char* what;
        const uint8_t* pixels;
        uint32_t width, rows, rowBytes;
    };
    for (const Case& c : std::vector<Case>{{"width 0", pixels.data(), 0, 2, 4},
                                           {"rowBytes short of the width", pixels.data(), 33, 2, 4},
                                           {"no pixels", nullptr, 8, 1, 1},
                                           {"rows past the address space", nearTop, 8, 1000, 1},
                                           {"width beyond the limit", pixels.data(), kMaxG4Width + 1, 1, 0xFFFFFFFF}}) {
        Group4Coder coder;
        std::vector<uint8_t> code;
        VectorSink sink(code);
        EXPECT_EQ(coder.CodeBand(BandRows{c.pixels, c.width, c.rows, c.rowBytes},
                                 StripShape{FormatBilevel, ByteOrderIntel}, sink),
                  StatusUnsupportedImage)
            << c.what;
        EXPECT_TRUE(code.empty()) << c.what;
        EXPECT_EQ(coder.referenceBytes(), 0u) << c.what;  // no memory taken
    }
}

// Memory short of what the band needs is refused before a row is coded, in
// Group 4 and in Group 3, whose rows need more.
TEST(G4Coder, RefusesMemoryShortOfTheBand) {
    const HostPage page = MakePage(100, 3, [](uint32_t x, uint32_t) { return x % 7 == 0; });
    using Encode = std::function<PluginStatus(G4CoderState&, const G4Memory&, CodeSink&)>;
    const Encode g4 = [&](G4CoderState& coder, const G4Memory& memory, CodeSink& sink) {
        return EncodeBandG4(coder, page.rows.data(), 100, 3, page.rowBytes, memory, sink);
    };
    const Encode g3 = [&](G4CoderState& coder, const G4Memory& memory, CodeSink& sink) {
        return EncodeBandG3(coder, ChooseG3Coding(true, 200), page.rows.data(), 100, 3, page.rowBytes, memory, sink);
    };
    for (const auto& [encode, workspaceBytes] : {std::pair{g4, G4WorkspaceBytes(100, 3, page.rowBytes)},
                                                 std::pair{g3, G3WorkspaceBytes(100, 3, page.rowBytes)}}) {
        std::vector<uint8_t> line(G4LineBytes(100)), workspace(workspaceBytes);
        for (const G4Memory& memory : {G4Memory{line.data(), G4LineBytes(100) - 1, workspace.data(), workspaceBytes},
                                       G4Memory{line.data(), G4LineBytes(100), workspace.data(), workspaceBytes - 1}}) {
            G4CoderState coder;
            std::vector<uint8_t> code;
            VectorSink sink(code);
            EXPECT_EQ(encode(coder, memory, sink), StatusNoMemory);
            EXPECT_TRUE(code.empty());
            EXPECT_EQ(coder.rowsCoded, 0u);
        }
    }
}

// A later band with longer rows must not read or write past the reference
// line that the first band allocated, and codes as a page of that width.
TEST(G4Coder, RowLengthChangingBetweenBandsKeepsTheReference) {
    const HostPage narrow = MakePage(
        20, 4, [](uint32_t x, uint32_t y) { return (x + y) % 5 == 0; }, 0, 0x77);
    const HostPage wide = MakePage(
        20, 4, [](uint32_t x, uint32_t y) { return (x * y) % 3 == 0; }, 9, 0x77);
    HostPage whole =
        MakePage(20, 8, [](uint32_t x, uint32_t y) { return y < 4 ? (x + y) % 5 == 0 : (x * (y - 4)) % 3 == 0; });
    Group4Coder coder;
    std::vector<uint8_t> strip;
    VectorSink sink(strip);
    ASSERT_EQ(coder.CodeBand(BandRows{narrow.rows.data(), 20, 4, narrow.rowBytes},
                             StripShape{FormatBilevel, ByteOrderIntel}, sink),
              StatusOk);
    ASSERT_EQ(coder.CodeBand(BandRows{wide.rows.data(), 20, 4, wide.rowBytes},
                             StripShape{FormatBilevel, ByteOrderIntel}, sink),
              StatusOk);
    EXPECT_EQ(coder.referenceBytes(), G4LineBytes(20));
    ASSERT_EQ(coder.Finish(sink), StatusOk);
    EXPECT_EQ(strip, OurStrip(whole));
}

class G4CoderFaults : public testing::Test {
protected:
    void TearDown() override { platform::testing::Reset(); }
};

// The reference line and each band's workspace are global memory; the end
// of the page needs none.
TEST_F(G4CoderFaults, NoMemoryForTheReferenceLineOrTheBand) {
    const HostPage page = MakePage(100, 3, [](uint32_t x, uint32_t) { return x % 7 == 0; });
    Group4Coder coder;
    std::vector<uint8_t> code;
    VectorSink sink(code);
    FailCalls(Service::Alloc, 100);
    EXPECT_EQ(coder.CodeBand(BandRows{page.rows.data(), 100, 3, page.rowBytes},
                             StripShape{FormatBilevel, ByteOrderIntel}, sink),
              StatusNoMemory);
    EXPECT_EQ(coder.referenceBytes(), 0u);
    platform::testing::Reset();
    ASSERT_EQ(coder.CodeBand(BandRows{page.rows.data(), 100, 3, page.rowBytes},
                             StripShape{FormatBilevel, ByteOrderIntel}, sink),
              StatusOk);
    FailCalls(Service::Alloc, 100);
    EXPECT_EQ(coder.CodeBand(BandRows{page.rows.data(), 100, 3, page.rowBytes},
                             StripShape{FormatBilevel, ByteOrderIntel}, sink),
              StatusNoMemory);
    EXPECT_EQ(coder.RowsInStrip(0, 0), 3u);
    const size_t coded = code.size();
    EXPECT_EQ(coder.Finish(sink), StatusOk);
    EXPECT_GT(code.size(), coded);
    platform::testing::Reset();
    coder.Reset();
    EXPECT_EQ(coder.referenceBytes(), 0u);
}

// Through a file: the image size counts exactly the bytes in the file; a
// failed write or a strip reaching 4 GiB - 1 stops the band.
TEST_F(G4CoderFaults, WritesToTheFileAndCountsTheImageSize) {
    const std::string path = testing::TempDir() + "g4_file_" + std::to_string(getpid()) + ".bin";
    const HostPage page = MakePage(2480, 60, [](uint32_t x, uint32_t y) { return (x / 9 + y / 4) % 3 == 0; });
    Group4Coder coder;
    uint32_t imageSize = 0;
    FileHandle file;
    StripSink sink(file, &imageSize);
    ASSERT_EQ(file.CreateForWrite(path.c_str()), StatusOk);
    for (uint32_t y = 0; y < 60; y += 20)
        ASSERT_EQ(coder.CodeBand(BandRows{&page.rows[y * page.rowBytes], 2480, 20, page.rowBytes},
                                 StripShape{FormatBilevel, ByteOrderIntel}, sink),
                  StatusOk);
    ASSERT_EQ(file.Close(), StatusOk);
    FILE* written = std::fopen(path.c_str(), "rb");
    std::vector<uint8_t> contents(page.rows.size() * 4);
    contents.resize(std::fread(contents.data(), 1, contents.size(), written));
    std::fclose(written);
    EXPECT_EQ(imageSize, contents.size());
    VectorSink end(contents);
    ASSERT_EQ(coder.Finish(end), StatusOk);
    EXPECT_EQ(contents, OurStrip(page));

    ASSERT_EQ(file.OpenForUpdate(path.c_str()), StatusOk);
    FailCalls(Service::Write, 1);
    EXPECT_EQ(coder.CodeBand(BandRows{page.rows.data(), 2480, 20, page.rowBytes},
                             StripShape{FormatBilevel, ByteOrderIntel}, sink),
              StatusWriteFailed);
    imageSize = 0xFFFFFFF0u;
    EXPECT_EQ(coder.CodeBand(BandRows{page.rows.data(), 2480, 20, page.rowBytes},
                             StripShape{FormatBilevel, ByteOrderIntel}, sink),
              StatusWriteFailed);
    EXPECT_EQ(imageSize, 0xFFFFFFF0u);
    file.Close();
    std::remove(path.c_str());
}

}  // namespace
