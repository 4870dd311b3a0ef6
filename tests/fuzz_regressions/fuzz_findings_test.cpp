// Faults the fuzz targets found, each replayed as the shortest command
// sequence that showed it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/status.h"
#include "support/plugin_fixture.h"

namespace {

class FuzzFindingsTest : public test_support::PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        host_.SetOutput(output_.file("scan.tif"));
        ASSERT_EQ(Run(CmdInitialize), StatusOk);
    }

    uint16_t Prepare(uint32_t bits, uint32_t kind) {
        host_.image = ScanImage{};
        host_.image.bitsPerPixel = bits;
        host_.image.samplesPerPixel = 1;
        host_.image.colorKind = kind;
        return Run(CmdPreparePage);
    }
    uint16_t PrepareGray8() { return Prepare(8, ColorGray); }
    uint16_t PrepareBilevel() { return Prepare(1, ColorBilevel); }

    void UseSettings(uint32_t byteOrder, uint32_t compression) {
        WriteValue("File Type", byteOrder);
        WriteValue("Compression", compression);
    }

    uint16_t Begin(uint32_t width, uint32_t height) {
        host_.image.width = width;
        host_.image.rows = height;
        return Run(CmdBeginPage);
    }

    uint16_t Band(uint32_t rows, const std::vector<uint8_t>& pixels, uint32_t rowBytes = 0) {
        host_.image.rows = rows;
        host_.image.pixels = pixels.data();
        if (rowBytes != 0) host_.image.yResolution = rowBytes;
        return Run(CmdWriteBand);
    }

    std::vector<uint8_t> Output() const { return test_support::ReadFileBytes(output_.file("scan.tif")); }

    // libtiff (through Pillow) decodes every page of the output.
    bool Decodes() const {
        std::string command =
            "/usr/bin/python3 -c \"import sys; from PIL import Image, ImageSequence; "
            "[p.load() for p in ImageSequence.Iterator(Image.open(sys.argv[1]))]\" " +
            output_.file("scan.tif");
        return system(command.c_str()) == 0;
    }

    size_t TempFiles() const {
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(temp_.path())) count += entry.is_regular_file();
        return count;
    }
};

// A page begun again before it ended left its first page file behind for
// good: CmdEndJob only deletes the one the registry names.
TEST_F(FuzzFindingsTest, PageBegunAgainLeavesNoPageFile) {
    ASSERT_EQ(PrepareGray8(), StatusOk);
    ASSERT_EQ(Begin(8, 4), StatusOk);
    ASSERT_EQ(PrepareGray8(), StatusOk);
    ASSERT_EQ(Begin(8, 4), StatusOk);
    EXPECT_EQ(TempFiles(), 1u);

    // The page begun last is the page: it completes as usual.
    std::vector<uint8_t> pixels(8 * 4, 0x5A);
    ASSERT_EQ(Band(4, pixels), StatusOk);
    ASSERT_EQ(Run(CmdEndPage), StatusOk);
    ASSERT_EQ(Run(CmdEndJob), StatusOk);
    EXPECT_EQ(TempFiles(), 0u);
    EXPECT_TRUE(std::filesystem::exists(output_.file("scan.tif")));
}

// Intel-order field of the first directory: the value of a one-value entry.
uint32_t FirstPageValue(const std::vector<uint8_t>& file, uint16_t tag) {
    auto get = [&](size_t at, int bytes) {
        uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) value = value << 8 | file.at(at + i);
        return value;
    };
    const uint32_t directory = get(4, 4);
    for (uint32_t i = 0; i < get(directory, 2); ++i) {
        const size_t entry = directory + 2 + 12 * i;
        if (get(entry, 2) == tag) return get(entry + 8, get(entry + 2, 2) == 3 ? 2 : 4);
    }
    return 0;
}

// Settings changed between the bands of a page (a settings dialog or another
// process on the same key) finished the page in another compression and
// byte order than its directory declared: a page libtiff could not read,
// committed as a success. The page now ends as it was begun.
TEST_F(FuzzFindingsTest, PageEndsInTheSettingsItWasBegunWith) {
    UseSettings(18761, 1);
    ASSERT_EQ(PrepareBilevel(), StatusOk);
    ASSERT_EQ(Begin(16, 8), StatusOk);
    std::vector<uint8_t> rows(2 * 8);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 37 + 5);
    ASSERT_EQ(Band(4, rows, 2), StatusOk);
    UseSettings(19789, 4);
    const std::vector<uint8_t> rest(rows.begin() + 8, rows.end());
    ASSERT_EQ(Band(4, rest, 2), StatusOk);
    ASSERT_EQ(Run(CmdEndPage), StatusOk);

    const std::vector<uint8_t> file = Output();
    ASSERT_GE(file.size(), 8u);
    EXPECT_EQ(file[0], 'I');
    EXPECT_EQ(FirstPageValue(file, 259), 1u);  // uncompressed, as begun
    const uint32_t strip = FirstPageValue(file, 273);
    ASSERT_EQ(FirstPageValue(file, 279), rows.size());
    ASSERT_LE(strip + rows.size(), file.size());
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), file.begin() + strip));
    EXPECT_TRUE(Decodes());
}

// A Group 4 page ended before all its rows came was committed with the
// end-of-block code only: libtiff could not decode it. A page ended without
// a row is now not added at all, and one ended early is a page of the rows
// it has, its strip ending after the last of them.
TEST_F(FuzzFindingsTest, Group4PageWithRowsMissingDecodes) {
    UseSettings(18761, 4);
    ASSERT_EQ(PrepareBilevel(), StatusOk);
    ASSERT_EQ(Begin(16, 8), StatusOk);
    EXPECT_EQ(Run(CmdEndPage), StatusEmptyPage);
    EXPECT_FALSE(std::filesystem::exists(output_.file("scan.tif")));
    EXPECT_EQ(TempFiles(), 0u);

    ASSERT_EQ(PrepareBilevel(), StatusOk);
    ASSERT_EQ(Begin(16, 8), StatusOk);
    std::vector<uint8_t> rows(2 * 8, 0xF0);
    ASSERT_EQ(Band(5, rows, 2), StatusOk);
    ASSERT_EQ(Run(CmdEndPage), StatusOk);
    EXPECT_EQ(FirstPageValue(Output(), 257), 5u);
    EXPECT_TRUE(Decodes());
}

// A page prepared while a Group 4 page was open made the open page end as a
// page of the new format: without its end-of-block code and sizes. The new
// preparation now abandons the open page.
TEST_F(FuzzFindingsTest, PreparingAnotherPageAbandonsTheOpenOne) {
    UseSettings(18761, 4);
    ASSERT_EQ(PrepareBilevel(), StatusOk);
    ASSERT_EQ(Begin(16, 8), StatusOk);
    std::vector<uint8_t> rows(2 * 8, 0x3C);
    ASSERT_EQ(Band(8, rows, 2), StatusOk);
    ASSERT_EQ(PrepareGray8(), StatusOk);
    EXPECT_EQ(Run(CmdEndPage), StatusBadSequence);
    EXPECT_EQ(TempFiles(), 0u);
    EXPECT_FALSE(std::filesystem::exists(output_.file("scan.tif")));
}

}  // namespace
