// Faults the fuzz targets found, each replayed as the shortest command
// sequence that showed it.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "output/status.h"
#include "support/plugin_fixture.h"

namespace {

class FuzzFindingsTest : public test_support::PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        host_.SetOutput(output_.file("scan.tif"));
        ASSERT_EQ(Run(CmdInitialize), StatusOk);
    }

    uint16_t PrepareGray8() {
        host_.image = ScanImage{};
        host_.image.bitsPerPixel = 8;
        host_.image.samplesPerPixel = 1;
        host_.image.colorKind = ColorGray;
        return Run(CmdPreparePage);
    }

    uint16_t Begin(uint32_t width, uint32_t height) {
        host_.image.width = width;
        host_.image.rows = height;
        return Run(CmdBeginPage);
    }

    uint16_t Band(uint32_t rows, const std::vector<uint8_t>& pixels) {
        host_.image.rows = rows;
        host_.image.pixels = pixels.data();
        return Run(CmdWriteBand);
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

}  // namespace
