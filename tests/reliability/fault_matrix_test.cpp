// The fault matrix: whole single- and multi-page jobs, uncompressed, Group 4,
// Group 3, LZW, Deflate, PackBits and JPEG, with each service failing at each of its calls in turn (the calls
// of a clean run are counted first). Every fault must end in a clear status
// with its message box, leave the output holding exactly the pages committed
// before it, leave no page file behind once the job ends, and leave a file
// that the next job can continue. FAULT_MATRIX.md lists the cases.
#include <string>
#include <vector>

#include "reliability/reliability_job.h"

namespace reliability {
namespace {

using platform::testing::CallCount;
using platform::testing::FailCalls;
using platform::testing::Service;

struct ServiceCase {
    const char* name;
    Service service;
    std::vector<uint16_t> statuses;  // what a failing call may end in; 0: the plug-in rides it out
};

const std::vector<JobSpec> kJobs = {
    {"SinglePalettePage", ByteOrderIntel, 1, {{FormatPalette8, 9, 6, 2}}},
    {"MultiPageUncompressed",
     ByteOrderMotorola,
     1,
     {{FormatRgb24, 7, 5, 2}, {FormatPalette4, 5, 4, 3}, {FormatGray16, 6, 3, 0}, {FormatBilevel, 20, 4, 3}}},
    {"MultiPageGroup4",
     ByteOrderIntel,
     4,
     {{FormatBilevel, 40, 12, 5}, {FormatGray8, 5, 3, 0}, {FormatBilevel, 33, 7, 3}}},
    // The second page (72,190 bytes) is appended in two chunks.
    {"AppendInChunks", ByteOrderIntel, 1, {{FormatGray4, 9, 4, 0}, {FormatRgb24, 200, 120, 40}}},
    // A new process adds pages to a file written earlier: its chain is read.
    {"ContinueEarlierFile",
     ByteOrderMotorola,
     4,
     {{FormatGray8, 5, 4, 0}, {FormatPalette8, 3, 3, 0}, {FormatBilevel, 30, 9, 4}, {FormatRgb48, 4, 3, 0}},
     2},
    // Pages of other heights than announced: each height is rewritten at the page's end.
    {"ShortAndLongPages",
     ByteOrderMotorola,
     4,
     {{FormatBilevel, 30, 9, 4, 20},
      {FormatGray8, 7, 10, 3, 4},
      {FormatBilevel, 21, 8, 3, 5},
      {FormatRgb24, 5, 3, 0, 8}}},
    // Coded colour pages beside Group 4 ones, their code spread over bands.
    {"MultiPageLzw",
     ByteOrderIntel,
     4,
     {{FormatRgb24, 31, 12, 5}, {FormatBilevel, 33, 7, 3}, {FormatGray16, 9, 6, 4}, {FormatPalette4, 7, 5, 2}},
     0,
     CompressionLzw},
    // Deflate pages shorter and longer than announced, added to an earlier
    // file; the last one of two strips, its bands across the first's end.
    {"DeflateShortLongContinued",
     ByteOrderMotorola,
     1,
     {{FormatGray8, 7, 5, 0},
      {FormatRgb48, 9, 10, 3, 4},
      {FormatPalette8, 11, 4, 3, 7},
      {FormatGray4, 5, 6, 2},
      {FormatRgb48, 300, 160, 40, 100}},
     1,
     CompressionDeflate},
    // JPEG pages of many strips, shorter and longer than announced, beside the
    // lossless pages of the formats JPEG does not suit, added to an earlier file.
    {"JpegShortLongContinued",
     ByteOrderIntel,
     4,
     {{FormatRgb24, 37, 40, 7, 20}, {FormatGray16, 5, 4, 0}, {FormatGray8, 19, 21, 5, 30}, {FormatBilevel, 20, 5, 2}},
     1,
     CompressionJpeg},
    // Two-dimensional Group 3 pages shorter and longer than announced, added to an earlier file.
    {"Group3ShortLongContinued",
     ByteOrderMotorola,
     CompressionGroup3TwoD,
     {{FormatBilevel, 9, 5, 0}, {FormatBilevel, 30, 9, 4, 20}, {FormatGray8, 5, 3, 0}, {FormatBilevel, 21, 8, 3, 5}},
     1},
    {"MultiPageGroup3OneD",
     ByteOrderIntel,
     CompressionGroup3OneD,
     {{FormatBilevel, 40, 12, 5}, {FormatBilevel, 33, 7, 3}}},
    // PackBits for every format, its pages of other heights than announced.
    {"PackBitsShortLong",
     ByteOrderIntel,
     CompressionPackBits,
     {{FormatRgb24, 31, 12, 5, 7}, {FormatBilevel, 33, 7, 3, 9}, {FormatPalette4, 7, 5, 2}, {FormatGray16, 9, 6, 4}},
     0,
     CompressionPackBits},
    // A BigTIFF file continued: JPEG pages of many strips, Group 4 and
    // Deflate pages, of other heights than announced, linked by 8-byte offsets.
    {"BigTiffContinued",
     ByteOrderMotorola,
     4,
     {{FormatGray8, 7, 5, 0}, {FormatRgb24, 37, 40, 7, 20}, {FormatBilevel, 30, 9, 4, 20}, {FormatPalette8, 11, 4, 3}},
     1,
     CompressionJpeg,
     FileKindBigTiff},
};

const std::vector<ServiceCase> kServices = {
    {"Create", Service::Create, {StatusCreateFailed}},
    // The first page's copy is proved the file made through an opening of
    // its own before it is renamed into place; a failure there fails the
    // copy (202).
    {"Open", Service::Open, {StatusOpenFailed, StatusCreateFailed}},
    {"Read", Service::Read, {StatusReadFailed}},
    {"Write", Service::Write, {StatusWriteFailed}},
    {"Seek", Service::Seek, {StatusSeekFailed}},
    {"Close", Service::Close, {0, StatusCloseFailed, StatusCreateFailed}},
    {"Delete", Service::Delete, {0}},
    {"Copy", Service::Copy, {StatusCreateFailed}},
    {"Alloc", Service::Alloc, {StatusNoMemory, StatusDiskFull}},
    {"FreeSpace", Service::FreeSpace, {StatusDiskFull}},
    {"RegistryWrite", Service::RegistryWrite, {StatusStateUnavailable}},
};

void PrintTo(const ServiceCase& service, std::ostream* out) { *out << service.name; }

bool Allowed(const ServiceCase& service, uint16_t status) {
    if (status == 0) return true;  // checked below: then every page is in the file
    for (uint16_t allowed : service.statuses)
        if (allowed == status) return true;
    return false;
}

class FaultMatrix : public ReliabilityTest, public ::testing::WithParamInterface<std::tuple<JobSpec, ServiceCase>> {};

TEST_P(FaultMatrix, EachCallFailsInTurn) {
    const JobSpec& job = std::get<0>(GetParam());
    const ServiceCase& service = std::get<1>(GetParam());
    std::vector<HostPage> pages = MakePages(job, 17);

    const size_t existing = job.existing;
    StartWithExistingPages(job, pages);
    JobOutcome clean = RunPages(pages, existing, existing > 0);
    ASSERT_EQ(clean.status, 0) << "clean run, command " << clean.command;
    ASSERT_EQ(Run(CmdEndJob), 0);
    int calls = CallCount(service.service);
    RecordProperty("calls", calls);
    AdoptLossyPages(job, pages);
    ExpectOutputHolds(pages, pages.size());

    for (int index = 0; index < calls && !HasFailure(); ++index) {
        SCOPED_TRACE(std::string(service.name) + " call " + std::to_string(index) + " of " + std::to_string(calls));
        StartWithExistingPages(job, pages);
        FailCalls(service.service, 1, index);
        JobOutcome outcome = RunPages(pages, existing, existing > 0);
        outcome.committed += existing;

        EXPECT_TRUE(Allowed(service, outcome.status))
            << "status " << outcome.status << " from command " << outcome.command;
        if (outcome.status == 0) {
            EXPECT_EQ(outcome.committed, pages.size());
        }
        if (HasFatalFailure()) break;
        ExpectMessageFor(outcome.status);
        uint32_t pageCount = 0;
        if (ReadValue("Page Count", &pageCount)) {
            EXPECT_EQ(pageCount, outcome.committed) << "registry page count";
        }

        // A fault the pages did not meet may meet the job's end.
        uint16_t ended = Run(CmdEndJob);
        EXPECT_TRUE(ended == 0 || (outcome.status == 0 && Allowed(service, ended))) << "CmdEndJob: " << ended;
        ExpectNoLeftovers();
        ExpectOutputHolds(pages, outcome.committed);

        // The job goes on in a new job, every other time in a new process:
        // the file takes the remaining pages.
        platform::testing::Reset();
        if (index % 2 != 0) ReloadPlugin();
        JobOutcome rest = RunPages(pages, outcome.committed, outcome.committed > 0);
        EXPECT_EQ(rest.status, 0) << "continuing after the fault, command " << rest.command;
        EXPECT_EQ(Run(CmdEndJob), 0);
        ExpectNoLeftovers();
        ExpectOutputHolds(pages, pages.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(kJobs), ::testing::ValuesIn(kServices)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
                         });

// Free space exactly equal to what a test asks for is room; one byte less
// is StatusDiskFull with the page abandoned and the output untouched.
struct RoomCase {
    const char* name;
    int32_t command;  // the command whose free-space test is met
    PageShape page;
    bool laterPage;   // a page appended behind one already committed
    uint64_t needed;  // the bytes that test asks for
    int32_t colorCompression = CompressionNone;
};
void PrintTo(const RoomCase& c, std::ostream* out) { *out << c.name; }

const RoomCase kRoomCases[] = {
    // 14 entries: 168 + 30 + 5,000 bytes of the page.
    {"BeginFirstGrey", CmdBeginPage, {FormatGray8, 100, 50, 0}, false, 5198},
    {"BeginLaterGrey", CmdBeginPage, {FormatGray8, 100, 50, 0}, true, 5198},
    // Palette pages count 786 + 12 * 15 for their directory.
    {"BeginPalette", CmdBeginPage, {FormatPalette8, 4, 2, 0}, false, 974},
    {"ColorMap", CmdWritePalette, {FormatPalette8, 4, 2, 0}, false, 1536},
    {"EndFirstPage", CmdEndPage, {FormatGray8, 100, 50, 0}, false, 5198},
    {"EndLaterPage", CmdEndPage, {FormatGray8, 100, 50, 0}, true, 5190},
    // A JPEG page asks for its size uncompressed, as laid out without JPEG.
    {"BeginFirstJpeg", CmdBeginPage, {FormatGray8, 100, 50, 0}, false, 5198, CompressionJpeg},
    {"BeginLaterJpeg", CmdBeginPage, {FormatGray8, 100, 50, 0}, true, 5198, CompressionJpeg},
};

class FreeSpaceRoom : public ReliabilityTest, public ::testing::WithParamInterface<RoomCase> {
protected:
    // Runs the page with `freeSpace` reported only during the command met.
    JobOutcome RunWithSpace(const RoomCase& c, const HostPage& page, uint64_t freeSpace) {
        JobOutcome outcome;
        auto run = [&](int32_t command, auto action) {
            if (outcome.status != 0) return;
            if (command == c.command) platform::testing::SetFreeSpace(freeSpace);
            uint16_t status = action();
            auto boxes = platform::testing::MessageBoxes();
            platform::testing::Reset();  // real free space again; the boxes shown stay
            platform::testing::MessageBoxes() = boxes;
            if (status != 0) outcome = {0, status, command};
        };
        run(CmdPreparePage, [&] { return Prepare(page.shape.format, c.laterPage); });
        run(CmdBeginPage, [&] { return Begin(page); });
        if (!page.palette.empty()) run(CmdWritePalette, [&] { return Palette(page); });
        run(CmdWriteBand, [&] { return Band(page, 0, page.shape.height); });
        run(CmdEndPage, [&] { return Run(CmdEndPage); });
        if (outcome.status == 0) outcome.committed = 1;
        return outcome;
    }
};

TEST_P(FreeSpaceRoom, ExactlyEnoughIsRoomOneByteLessIsNot) {
    const RoomCase& c = GetParam();
    JobSpec job{c.name, ByteOrderIntel, 1, {}, 0, c.colorCompression};
    HostPage first = MakePage({FormatGray4, 3, 2, 0}, 5);
    HostPage page = MakePage(c.page, 6);
    std::vector<HostPage> expected = c.laterPage ? std::vector<HostPage>{first, page} : std::vector<HostPage>{page};

    for (uint64_t freeSpace : {c.needed - 1, c.needed}) {
        SCOPED_TRACE("free space " + std::to_string(freeSpace));
        StartAfresh(job);
        if (c.laterPage) {
            ASSERT_EQ(RunOnePage(first, false).status, 0);
        }
        platform::testing::MessageBoxes().clear();
        JobOutcome outcome = RunWithSpace(c, page, freeSpace);
        bool enough = freeSpace == c.needed;
        if (!enough) {
            EXPECT_EQ(outcome.command, c.command);
        }
        ExpectMessageFor(outcome.status);
        EXPECT_EQ(Run(CmdEndJob), 0);
        ExpectNoLeftovers();
        if (enough) AdoptLossyPages(job, expected);
        ExpectOutputHolds(expected, expected.size() - (enough ? 0 : 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Tests, FreeSpaceRoom, ::testing::ValuesIn(kRoomCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reliability
