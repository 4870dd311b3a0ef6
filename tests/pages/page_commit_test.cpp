// The page cycle's registry values and the commit of pages into the output
// file: the worked examples, and failures that must leave the file intact.
#include <filesystem>

#include "pages/page_job.h"
#include "platform/testing.h"
#include "resources/resource_ids.h"
#include "ui/resource_strings.h"

namespace page_test {
namespace {

namespace fs = std::filesystem;
using platform::testing::FailCalls;
using platform::testing::Service;

class PageCommit : public PageJobTest {
protected:
    uint32_t Read(const char* name) {
        uint32_t value = 0xDEADBEEF;
        EXPECT_TRUE(ReadValue(name, &value)) << name;
        return value;
    }
    std::string TempFileValue() {
        HKEY key;
        char value[260] = {};
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SubkeyPath().c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return "";
        DWORD size = sizeof(value);
        RegQueryValueExA(key, "TempFile", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        return value;
    }
    void SetTempFileValue(const std::string& path) {
        HKEY key;
        DWORD disposition;
        RegCreateKeyExA(HKEY_CURRENT_USER, SubkeyPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition);
        RegSetValueExA(key, "TempFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>(path.size() + 1));
        RegCloseKey(key);
    }
    // Writes pages 1..n of the gray 100 x 50 example.
    void WriteGrayPages(int count) {
        for (int i = 0; i < count; ++i) ASSERT_EQ(RunPage(MakePage({FormatGray8, 100, 50, 10}, i), i > 0), 0);
    }
    uint32_t LongAt(const Bytes& bytes, size_t at) { return GetLong(&bytes[at], ByteOrderIntel); }
};

TEST_F(PageCommit, FirstPageRegistryAndFile) {
    HostPage page = MakePage({FormatGray8, 100, 50, 0}, 1);
    ASSERT_EQ(Prepare(FormatGray8, false), 0);
    EXPECT_EQ(Read("Image Offset"), 8u);
    EXPECT_EQ(Read("Page Count"), 0u);
    ASSERT_EQ(Begin(page), 0);
    EXPECT_EQ(fs::file_size(TempFileValue()), 198u);
    EXPECT_EQ(Read("Next Point"), 178u);
    EXPECT_EQ(Read("Directory Count"), 14u);
    EXPECT_EQ(Read("Image Offset"), 5198u);
    EXPECT_EQ(Read("Image Size"), 0u);
    EXPECT_EQ(Read("LoopCount"), 0u);
    ASSERT_EQ(Band(page, 0, 50), 0);
    EXPECT_EQ(Read("LoopCount"), 1u);
    std::string temp = TempFileValue();
    ASSERT_EQ(Run(CmdEndPage), 0);
    EXPECT_EQ(fs::file_size(output_path_), 5198u);
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_EQ(Read("Page Count"), 1u);
    EXPECT_EQ(Read("Next Point"), 178u);
    EXPECT_FALSE(HasValue("TempFile"));
    EXPECT_FALSE(HasValue("LoopCount"));
}

TEST_F(PageCommit, LaterPagesAreChained) {
    WriteGrayPages(2);
    Bytes bytes = OutputBytes();
    ASSERT_EQ(bytes.size(), 10388u);
    EXPECT_EQ(LongAt(bytes, 178), 5198u);
    EXPECT_EQ(LongAt(bytes, 5198 + 2 + 12 * 6 + 8), 5388u);  // StripOffsets of page 2
    EXPECT_EQ(Read("Page Count"), 2u);
    EXPECT_EQ(Read("Next Point"), 5368u);
    ASSERT_EQ(RunPage(MakePage({FormatGray8, 100, 50, 0}, 3), true), 0);
    bytes = OutputBytes();
    EXPECT_EQ(LongAt(bytes, 5368), 10388u);
    EXPECT_EQ(LongAt(bytes, 10558), 0u);
    EXPECT_EQ(Read("Next Point"), 10558u);
    EXPECT_EQ(Run(CmdEndJob), 0);
    for (const char* gone : {"TempFile", "ImageFormat", "Page Count", "LoopCount", "Next Point"})
        EXPECT_FALSE(HasValue(gone)) << gone;
    for (const char* kept : {"Image Size", "Directory Count", "Image Offset"}) EXPECT_TRUE(HasValue(kept)) << kept;
}

TEST_F(PageCommit, NewFileReplacesTheOutput) {
    WriteGrayPages(2);
    ASSERT_EQ(RunPage(MakePage({FormatGray4, 3, 3, 0}, 3), false), 0);
    EXPECT_EQ(OutputBytes().size(), 198u + 6);
    EXPECT_EQ(Read("Page Count"), 1u);
}

// A failure while a later page is committed leaves the output file exactly
// as it was, and the page count where it was.
TEST_F(PageCommit, FailedCommitLeavesOutputUntouched) {
    struct Case {
        Service service;
        int skip;
        uint16_t status;
    };
    const Case cases[] = {
        {Service::Write, 0, StatusWriteFailed},  // the append itself
        {Service::Write, 1, StatusWriteFailed},  // the link to the new page
        {Service::Open, 1, StatusOpenFailed},    // the output file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.skip);
        WriteGrayPages(2);
        Bytes before = OutputBytes();
        HostPage page = MakePage({FormatGray8, 100, 50, 0}, 9);
        ASSERT_EQ(Prepare(FormatGray8, true), 0);
        ASSERT_EQ(Begin(page), 0);
        ASSERT_EQ(Band(page, 0, 50), 0);
        std::string temp = TempFileValue();
        FailCalls(c.service, 1, c.skip);
        EXPECT_EQ(Run(CmdEndPage), c.status);
        platform::testing::Reset();
        EXPECT_EQ(OutputBytes(), before);
        EXPECT_EQ(Read("Page Count"), 2u);
        EXPECT_FALSE(fs::exists(temp));
        // The job goes on: the next page lands where the file ends.
        ASSERT_EQ(RunPage(page, true), 0);
        EXPECT_EQ(OutputBytes().size(), before.size() + 5190);
    }
}

TEST_F(PageCommit, OutputChangedUnderThePageIsRefused) {
    WriteGrayPages(1);
    HostPage page = MakePage({FormatGray8, 100, 50, 0}, 2);
    ASSERT_EQ(Prepare(FormatGray8, true), 0);
    ASSERT_EQ(Begin(page), 0);
    ASSERT_EQ(Band(page, 0, 50), 0);
    { std::ofstream(output_path_, std::ios::binary | std::ios::app) << "xy"; }
    Bytes before = OutputBytes();
    EXPECT_EQ(Run(CmdEndPage), StatusNotAppendable);
    EXPECT_EQ(OutputBytes(), before);
    EXPECT_EQ(Read("Page Count"), 1u);
}

TEST_F(PageCommit, OutputDeletedBeforeTheLaterPageEnds) {
    WriteGrayPages(1);
    HostPage page = MakePage({FormatGray8, 100, 50, 0}, 2);
    ASSERT_EQ(Prepare(FormatGray8, true), 0);
    ASSERT_EQ(Begin(page), 0);
    ASSERT_EQ(Band(page, 0, 50), 0);
    std::string temp = TempFileValue();
    fs::remove(output_path_);
    EXPECT_EQ(Run(CmdEndPage), StatusOpenFailed);
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_EQ(Read("Page Count"), 1u);
}

TEST_F(PageCommit, OtherByteOrderCannotBeContinued) {
    WriteGrayPages(1);
    UseSettings(ByteOrderMotorola, 1);
    Bytes before = OutputBytes();
    HostPage page = MakePage({FormatGray8, 4, 4, 0}, 2);
    ASSERT_EQ(Prepare(FormatGray8, true), 0);
    EXPECT_EQ(Begin(page), StatusNotAppendable);
    EXPECT_EQ(OutputBytes(), before);
}

// Between two pages of a job the file is taken as the job left it only when
// its size and last link are still what the job wrote; a file changed behind
// the job's back is walked again, and one that no longer reads is refused.
TEST_F(PageCommit, AFileChangedBetweenPagesIsCheckedAgain) {
    WriteGrayPages(2);
    const Bytes written = OutputBytes();
    const size_t lastLink = Read("Next Point");
    Bytes cut(written.begin(), written.end() - 50);
    Bytes relinked = written;
    relinked[lastLink] = 8;  // the last page now links back to the first: a loop
    Bytes grown = written;
    grown.insert(grown.end(), 7, 0xCD);  // bytes of no page, left alone
    const struct {
        const char* name;
        const Bytes& file;
        uint16_t begin;
    } changes[] = {
        {"cut inside the last page", cut, StatusNotAppendable},
        {"its last link changed", relinked, StatusNotAppendable},
        {"grown by bytes of no page", grown, StatusOk},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.name);
        test_support::WriteWholeFile(output_path_, std::string(change.file.begin(), change.file.end()));
        HostPage page = MakePage({FormatGray8, 100, 50, 10}, 3);
        ASSERT_EQ(Prepare(FormatGray8, true), 0);
        ASSERT_EQ(Begin(page), change.begin);
        if (change.begin != StatusOk) {
            EXPECT_EQ(OutputBytes(), change.file);
            continue;
        }
        ASSERT_EQ(Band(page, 0, 50), 0);
        ASSERT_EQ(Run(CmdEndPage), 0);
        // The file as it was, but for the last link, which now names the new page.
        Bytes after = OutputBytes();
        ASSERT_GT(after.size(), change.file.size());
        EXPECT_NE(LongAt(after, lastLink), 0u);
        std::copy(change.file.begin() + static_cast<long>(lastLink),
                  change.file.begin() + static_cast<long>(lastLink) + 4, after.begin() + static_cast<long>(lastLink));
        EXPECT_EQ(Bytes(after.begin(), after.begin() + static_cast<long>(change.file.size())), change.file);
    }
}

// A page ended early is committed with its rows; bands after it belong to
// no page.
TEST_F(PageCommit, PageEndedEarlyKeepsItsRows) {
    HostPage page = MakePage({FormatGray8, 10, 3, 3, 6}, 1);
    ASSERT_EQ(RunPage(page, false), 0);
    EXPECT_EQ(Band(page, 0, 3), StatusBadSequence);
    CheckOutput({page});
}

// Rows beyond the announced height extend the page while the disk has room
// for them and the file stays below 4 GiB; a band refused for either leaves
// the page with the rows it has, to be ended with them.
TEST_F(PageCommit, RowsBeyondTheHeightNeedRoom) {
    HostPage page = MakePage({FormatGray8, 10, 6, 0, 4}, 1);
    ASSERT_EQ(Prepare(FormatGray8, false), 0);
    ASSERT_EQ(Begin(page), 0);
    ASSERT_EQ(Band(page, 0, 3), 0);
    platform::testing::SetFreeSpace(19);  // rows 4 and 5: 20 bytes
    EXPECT_EQ(Band(page, 3, 3), StatusDiskFull);
    platform::testing::SetFreeSpace(20);
    ASSERT_EQ(Band(page, 3, 3), 0);
    platform::testing::SetFreeSpace(std::nullopt);
    ASSERT_EQ(Run(CmdEndPage), 0);
    CheckOutput({page});
}

TEST_F(PageCommit, RowsBeyondTheHeightStayBelowFourGibibytes) {
    HostPage first = MakePage({FormatGray8, 4, 2, 0}, 1);
    ASSERT_EQ(RunPage(first, false), 0);
    // Bytes of no page up to there, as after an append cut short: behind
    // them, the page's 190-byte directory and two rows of 1,000 bytes end
    // 500 bytes below the 32-bit limit, and a third row would pass it.
    const uint64_t nearLimit = 0xFFFFFFFFu - 190 - 2500 - 1;
    fs::resize_file(output_path_, nearLimit);
    HostPage page = MakePage({FormatGray8, 1000, 3, 0, 1}, 2);
    ASSERT_EQ(Prepare(FormatGray8, true), 0);
    ASSERT_EQ(Begin(page), 0);
    ASSERT_EQ(Band(page, 0, 2), 0);
    platform::testing::MessageBoxes().clear();
    EXPECT_EQ(Band(page, 2, 1), StatusWriteFailed);
    // The message says that BigTIFF would hold the document.
    ASSERT_EQ(platform::testing::MessageBoxes().size(), 1u);
    char text[128] = {};
    LoadResourceString(IDS_MESSAGE_CLASSIC_FULL, text, sizeof(text));
    EXPECT_EQ(platform::testing::MessageBoxes()[0].text, text);
    ASSERT_EQ(Run(CmdEndPage), 0);
    EXPECT_EQ(Read("Page Count"), 2u);
    EXPECT_EQ(fs::file_size(output_path_), nearLimit + 190 + 2000);
}

// The same rows in a BigTIFF file pass 4 GiB: the page lies beyond it.
TEST_F(PageCommit, RowsOfABigTiffPagePassFourGibibytes) {
    WriteValue("BigTIFF", FileKindBigTiff);
    HostPage first = MakePage({FormatGray8, 4, 2, 0}, 1);
    ASSERT_EQ(RunPage(first, false), 0);
    const uint64_t nearLimit = 0xFFFFFFFEu - 2500;  // even: the page lands right there
    fs::resize_file(output_path_, nearLimit);
    HostPage page = MakePage({FormatGray8, 1000, 3, 0, 1}, 2);
    ASSERT_EQ(Prepare(FormatGray8, true), 0);
    ASSERT_EQ(Begin(page), 0);
    ASSERT_EQ(Band(page, 0, 3), 0);
    ASSERT_EQ(Run(CmdEndPage), 0);
    EXPECT_EQ(Read("Page Count"), 2u);
    const uint64_t directoryBytes = 8 + 20 * 14 + 8;
    EXPECT_EQ(fs::file_size(output_path_), nearLimit + directoryBytes + 3000);
    EXPECT_GT(fs::file_size(output_path_), uint64_t{1} << 32);
}

TEST_F(PageCommit, CommandsOutOfOrder) {
    HostPage page = MakePage({FormatPalette8, 4, 4, 0}, 1);
    EXPECT_EQ(Run(CmdEndPage), StatusBadSequence);
    ASSERT_EQ(Prepare(FormatPalette8, false), 0);
    EXPECT_EQ(Band(page, 0, 4), StatusBadSequence);
    ASSERT_EQ(Begin(page), 0);
    ASSERT_EQ(Band(page, 0, 2), 0);
    EXPECT_EQ(Palette(page), StatusBadSequence);  // the map would overwrite strip data
    ASSERT_EQ(Band(page, 2, 2), 0);
    ASSERT_EQ(Run(CmdEndPage), 0);
    EXPECT_EQ(Run(CmdEndPage), StatusBadSequence);
}

// The registry names a file that is not a page file: it is never opened,
// written or deleted.
TEST_F(PageCommit, ForeignTempFileIsNeverTouched) {
    std::string precious = output_.file("precious.doc");
    { std::ofstream(precious) << "keep me"; }
    HostPage page = MakePage({FormatGray8, 4, 4, 0}, 1);
    ASSERT_EQ(Prepare(FormatGray8, false), 0);
    ASSERT_EQ(Begin(page), 0);
    SetTempFileValue(precious);
    EXPECT_EQ(Band(page, 0, 4), StatusBadSequence);
    EXPECT_EQ(Run(CmdEndPage), StatusBadSequence);
    EXPECT_EQ(Run(CmdEndJob), 0);
    EXPECT_EQ(fs::file_size(precious), 7u);
}

TEST_F(PageCommit, FreeSpace) {
    HostPage page = MakePage({FormatGray8, 100, 50, 0}, 1);
    platform::testing::SetFreeSpace(1000);  // below the page's 5,198 bytes
    ASSERT_EQ(Prepare(FormatGray8, false), 0);
    EXPECT_EQ(Begin(page), StatusDiskFull);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp_.path()), fs::directory_iterator()), 0);
    platform::testing::SetFreeSpace(std::nullopt);  // unknown: the writes decide
    ASSERT_EQ(RunPage(page, false), 0);
    ASSERT_EQ(RunPage(page, true), 0);
    CheckOutput({page, page});
}

TEST_F(PageCommit, OversizedPaletteIsCut) {
    HostPage page = MakePage({FormatPalette4, 5, 2, 0}, 1);
    Bytes palette(8 + 4 * 300, 0x40);  // 300 entries for a 16-colour map, nothing beyond them
    palette[0] = 300 & 0xFF;
    palette[1] = 300 >> 8;
    page.palette = palette;
    ASSERT_EQ(Prepare(FormatPalette4, false), 0);
    ASSERT_EQ(Begin(page), 0);
    EXPECT_EQ(Palette(page), 0);
    Bytes temp = test_support::ReadFileBytes(TempFileValue());
    EXPECT_EQ(Bytes(temp.end() - 96, temp.end()), Bytes(96, 0x40));
}

TEST_F(PageCommit, UnsupportedImages) {
    ASSERT_EQ(Prepare(FormatPalette1, false), 0);  // accepted here ...
    HostPage page = MakePage({FormatGray8, 4, 4, 0}, 1);
    EXPECT_EQ(Begin(page), StatusUnsupportedImage);  // ... refused here
    host_.image = ScanImage{};
    host_.image.bitsPerPixel = 24, host_.image.samplesPerPixel = 3, host_.image.colorKind = ColorGray;
    EXPECT_EQ(Run(CmdPreparePage), StatusUnsupportedImage);
    ColorKindOf(FormatGray8, host_.image);
    host_.image.unsupportedLayout = 1;
    EXPECT_EQ(Run(CmdPreparePage), StatusUnsupportedImage);
}

// The free space of the output's volume is asked once as a page is
// committed, however the page reaches the file: the whole page is checked
// as it ends, and the append's first chunk does not ask again.
TEST_F(PageCommit, FreeSpaceIsAskedOncePerCommit) {
    for (bool later : {false, true}) {
        SCOPED_TRACE(later ? "later page" : "first page");
        if (later) WriteGrayPages(1);
        HostPage page = MakePage({FormatGray8, 100, 50, 0}, 9);
        ASSERT_EQ(Prepare(FormatGray8, later), 0);
        ASSERT_EQ(Begin(page), 0);
        ASSERT_EQ(Band(page, 0, 50), 0);
        platform::testing::Reset();
        ASSERT_EQ(Run(CmdEndPage), 0);
        EXPECT_EQ(platform::testing::CallCount(platform::testing::Service::FreeSpace), 1);
    }
}

}  // namespace
}  // namespace page_test
