// Page commands that fail: the page is abandoned (its file deleted), the
// registry keeps the previous command's values, and nothing else is touched.
#include <filesystem>

#include "pages/page_job.h"
#include "platform/testing.h"

namespace page_test {
namespace {

namespace fs = std::filesystem;
using platform::testing::FailCalls;
using platform::testing::Service;

size_t FilesIn(const std::string& directory) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
}

struct FailureCase {
    const char* name;
    int32_t command;  // the command that meets the fault
    Service service;
    int skip;
    uint16_t status;
};
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class PageFailures : public PageJobTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PageFailures, PageIsAbandonedCleanly) {
    const FailureCase& c = GetParam();
    HostPage page = MakePage({FormatPalette8, 9, 4, 2}, 3);
    ASSERT_EQ(Prepare(FormatPalette8, false), 0);
    if (c.command == CmdBeginPage) FailCalls(c.service, 1, c.skip);
    uint16_t status = Begin(page);
    if (c.command != CmdBeginPage) {
        ASSERT_EQ(status, 0);
        if (c.command == CmdWritePalette) FailCalls(c.service, 1, c.skip);
        status = Palette(page);
        if (c.command != CmdWritePalette) {
            ASSERT_EQ(status, 0);
            FailCalls(c.service, 1, c.skip);
            status = Band(page, 0, 2);
        }
    }
    platform::testing::Reset();
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(FilesIn(temp_.path()), 0u) << "the page file stays behind";
    uint32_t loops = 0;
    if (c.command == CmdWriteBand && ReadValue("LoopCount", &loops)) {
        EXPECT_EQ(loops, 0u);
    }
    EXPECT_FALSE(fs::exists(output_path_));
    // The next page starts afresh.
    ASSERT_EQ(RunPage(page, false), 0);
    CheckOutput({page});
}

const FailureCase kFailures[] = {
    {"BeginCreate", CmdBeginPage, Service::Create, 0, StatusCreateFailed},
    {"BeginAlloc", CmdBeginPage, Service::Alloc, 0, StatusNoMemory},
    {"BeginWrite", CmdBeginPage, Service::Write, 0, StatusWriteFailed},  // the header and directory go in one write
    {"PaletteOpen", CmdWritePalette, Service::Open, 0, StatusOpenFailed},
    {"PaletteSeek", CmdWritePalette, Service::Seek, 0, StatusSeekFailed},
    {"PaletteAlloc", CmdWritePalette, Service::Alloc, 0, StatusNoMemory},
    {"PaletteWrite", CmdWritePalette, Service::Write, 0, StatusWriteFailed},
    {"BandOpen", CmdWriteBand, Service::Open, 0, StatusOpenFailed},
    {"BandSeek", CmdWriteBand, Service::Seek, 0, StatusSeekFailed},
    {"BandAlloc", CmdWriteBand, Service::Alloc, 0, StatusNoMemory},
    {"BandWrite", CmdWriteBand, Service::Write, 0, StatusWriteFailed},
};

INSTANTIATE_TEST_SUITE_P(Faults, PageFailures, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageJobTest, PaletteWithoutRoomFails) {
    HostPage page = MakePage({FormatPalette4, 5, 2, 0}, 1);
    ASSERT_EQ(Prepare(FormatPalette4, false), 0);
    ASSERT_EQ(Begin(page), 0);
    platform::testing::SetFreeSpace(95);  // one byte short of the 96-byte map
    EXPECT_EQ(Palette(page), StatusDiskFull);
    EXPECT_EQ(FilesIn(temp_.path()), 0u);
}

TEST_F(PageJobTest, BandRecordsThePageCannotTake) {
    HostPage page = MakePage({FormatBilevel, 20, 4, 0}, 1);
    ASSERT_EQ(Prepare(FormatBilevel, false), 0);
    ASSERT_EQ(Begin(page), 0);
    host_.image.width = 20;
    host_.image.rows = 2;
    host_.image.yResolution = 2;  // rowBytes below one row of 20 pixels
    host_.image.pixels = page.Row(0);
    EXPECT_EQ(Run(CmdWriteBand), StatusBadRecord);
    host_.image.yResolution = page.stride;
    host_.image.pixels = nullptr;
    EXPECT_EQ(Run(CmdWriteBand), StatusBadRecord);
    ASSERT_EQ(Band(page, 0, 4), 0);  // the page itself is untouched
    ASSERT_EQ(Run(CmdEndPage), 0);
    CheckOutput({page});
}

TEST_F(PageJobTest, ZeroSizedPageIsRefused) {
    HostPage page = MakePage({FormatGray8, 0, 3, 0}, 1);
    ASSERT_EQ(Prepare(FormatGray8, false), 0);
    EXPECT_EQ(Begin(page), StatusBadRecord);
    EXPECT_EQ(FilesIn(temp_.path()), 0u);
}

// A fresh object continues a file of which it has committed no page: the
// library reloaded within a job, or a new job that adds to an existing file.
TEST_F(PageJobTest, FreshObjectContinuesTheFile) {
    for (bool endJobFirst : {false, true}) {
        std::vector<HostPage> pages{MakePage({FormatGray8, 5, 3, 0}, 1), MakePage({FormatRgb24, 3, 3, 0}, 2)};
        ASSERT_EQ(RunPage(pages[0], false), 0);
        if (endJobFirst) {
            ASSERT_EQ(Run(CmdEndJob), 0);
        }
        PluginProcessDetach();
        PluginProcessAttach(GetModuleHandleA(nullptr));
        ASSERT_EQ(RunPage(pages[1], true), 0);
        EXPECT_EQ(Run(CmdEndJob), 0);
        CheckOutput(pages);
    }
}

TEST_F(PageJobTest, ContinuingAFileThatCannotTakeAPage) {
    HostPage page = MakePage({FormatGray8, 5, 3, 0}, 1);
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"not a TIFF", "hello, world"},
        {"BigTIFF", std::string("II\x2B\0\x08\0\0\0\0\0\0\0\0\0\0\0", 16)},
        {"other byte order", std::string("MM\0\x2A\0\0\0\x08", 8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        { std::ofstream(output_path_, std::ios::binary) << c.content; }
        EXPECT_EQ(Prepare(FormatGray8, true), StatusNotAppendable);
        EXPECT_EQ(OutputBytes(), Bytes(c.content.begin(), c.content.end()));
    }
    std::remove(output_path_.c_str());  // nothing to continue: the page starts the file
    ASSERT_EQ(RunPage(page, true), 0);
    CheckOutput({page});
}

}  // namespace
}  // namespace page_test
