// Adding pages to an existing file from a plug-in object that has committed
// none of its pages (a new process, yesterday's file): the pages go behind
// the existing ones, found from the file's own directory chain, and a file
// whose chain cannot be trusted is refused untouched.
#include <cstring>
#include <fstream>

#include "output/file_handle.h"
#include "reliability/reliability_job.h"
#include "tiff/byte_order.h"
#include "tiff/directory_entry.h"

namespace reliability {
namespace {

using Bytes = std::vector<uint8_t>;

// A file damaged from a good one, and how.
struct DamageCase {
    const char* name;
    void (*damage)(std::vector<uint8_t>& file);
};
void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }

class ContinueFile : public ReliabilityTest {
protected:
    // Two pages written by an ended job; the plug-in then reloaded.
    std::vector<HostPage> WriteTwoPageFile(int32_t byteOrder, uint32_t fileKind = FileKindClassic) {
        JobSpec job{"two", byteOrder, 1, {{FormatGray8, 5, 3, 0}, {FormatRgb24, 3, 4, 2}}};
        StartAfresh(job);
        WriteValue("BigTIFF", fileKind);
        std::vector<HostPage> pages = MakePages(job, 41);
        EXPECT_EQ(RunPages(pages, 0, false).status, 0);
        EXPECT_EQ(Run(CmdEndJob), 0);
        ReloadPlugin();
        return pages;
    }
    void WriteOutput(const Bytes& bytes) {
        std::ofstream out(output_path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // The output, damaged as `damage` says, is refused as PreparePage reads
    // its chain, and stays byte for byte as it is.
    void ExpectRefusedUntouched(const DamageCase& damage) {
        Bytes damaged = OutputBytes();
        damage.damage(damaged);
        WriteOutput(damaged);
        platform::testing::MessageBoxes().clear();
        JobOutcome outcome = RunOnePage(MakePage({FormatGray8, 4, 4, 0}, 6), true);
        EXPECT_EQ(outcome.status, StatusNotAppendable);
        EXPECT_EQ(outcome.command, CmdPreparePage);
        ExpectMessageFor(StatusNotAppendable);
        EXPECT_EQ(Run(CmdEndJob), 0);
        EXPECT_EQ(OutputBytes(), damaged);
        ExpectNoLeftovers();
    }
};

TEST_F(ContinueFile, NewProcessAppendsBehindTheExistingPages) {
    for (auto [order, kind] :
         {std::pair{ByteOrderIntel, FileKindClassic}, std::pair{ByteOrderMotorola, FileKindClassic},
          std::pair{ByteOrderIntel, FileKindBigTiff}, std::pair{ByteOrderMotorola, FileKindBigTiff}}) {
        SCOPED_TRACE(std::to_string(order) + (kind == FileKindBigTiff ? " BigTIFF" : ""));
        std::vector<HostPage> pages = WriteTwoPageFile(order, kind);
        Bytes before = OutputBytes();
        pages.push_back(MakePage({FormatBilevel, 12, 5, 2}, 3));
        ASSERT_EQ(RunPages(pages, 2, true).status, 0);
        uint32_t pageCount = 0;
        ASSERT_TRUE(ReadValue("Page Count", &pageCount));
        EXPECT_EQ(pageCount, 3u);
        EXPECT_EQ(Run(CmdEndJob), 0);
        ExpectOutputHolds(pages, 3);
        // Only the old last page's next-directory field changed.
        Bytes after = OutputBytes();
        size_t changed = 0;
        for (size_t i = 0; i < before.size(); ++i) changed += before[i] != after[i];
        EXPECT_LE(changed, kind == FileKindBigTiff ? 8u : 4u);
        ExpectNoLeftovers();
    }
}

// A host killed after a commit left its job values behind, one page behind
// the file: the file's own chain says where the page goes and what it is.
TEST_F(ContinueFile, StaleJobValuesYieldToTheFile) {
    std::vector<HostPage> pages = WriteTwoPageFile(ByteOrderIntel);
    WriteValue("Page Count", 1);
    WriteValue("Next Point", 178);
    WriteValue("Image Offset", 8);
    pages.push_back(MakePage({FormatGray4, 7, 2, 0}, 4));
    ASSERT_EQ(RunPages(pages, 2, true).status, 0);
    EXPECT_EQ(Run(CmdEndJob), 0);
    ExpectOutputHolds(pages, 3);
}

// A file that is there but cannot be opened is never taken for a missing
// file and replaced.
TEST_F(ContinueFile, UnreadableFileIsNotReplaced) {
    std::vector<HostPage> pages = WriteTwoPageFile(ByteOrderIntel);
    Bytes before = OutputBytes();
    platform::testing::FailCalls(platform::testing::Service::Open, 1);
    HostPage page = MakePage({FormatGray8, 4, 4, 0}, 5);
    EXPECT_EQ(RunOnePage(page, true).status, StatusOpenFailed);
    EXPECT_EQ(Run(CmdEndJob), 0);
    EXPECT_EQ(OutputBytes(), before);
    pages.push_back(page);
    ASSERT_EQ(RunPages(pages, 2, true).status, 0);  // the retry succeeds
    ExpectOutputHolds(pages, 3);
}

// A crash between appending a page and linking it leaves bytes behind the
// last page that no directory names. They stay as they are, and the next
// page goes behind them, on a word boundary.
TEST_F(ContinueFile, BytesOfAnAppendCutShortAreLeftBehind) {
    for (size_t tail : {1, 2, 65535}) {
        SCOPED_TRACE(tail);
        std::vector<HostPage> pages = WriteTwoPageFile(ByteOrderIntel);
        Bytes cut = OutputBytes();
        cut.resize(cut.size() + tail, 0x5A);
        WriteOutput(cut);
        pages.push_back(MakePage({FormatBilevel, 9, 5, 0}, 7));
        ASSERT_EQ(RunPages(pages, 2, true).status, 0);
        EXPECT_EQ(Run(CmdEndJob), 0);
        ExpectOutputHolds(pages, 3);
        Bytes after = OutputBytes();
        size_t changed = 0;
        for (size_t i = 0; i < cut.size(); ++i) changed += cut[i] != after[i];
        EXPECT_LE(changed, 4u) << "only the last next-directory field changes";
        EXPECT_EQ(after.size() % 2, 0u);
    }
}

// A host killed during an append left its record and the append's bytes
// behind the last page: the next job cuts exactly those off. Bytes it cannot
// prove its own (the file is another, the chain ends before the recorded
// size, or the page was linked after all) are left as they are.
TEST_F(ContinueFile, AKilledAppendsTailIsReclaimedOnlyWhenProvablyItsOwn) {
    struct Case {
        const char* name;
        int64_t baseShift;  // the recorded size against the file's real end
        bool sameFile;
        bool reclaimed;
    };
    const Case cases[] = {
        {"its own tail", 0, true, true},
        {"another file's record", 0, false, false},
        {"bytes before the recorded size are not its own", 2, true, false},
        {"the chain reaches past the recorded size", -2, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<HostPage> pages = WriteTwoPageFile(ByteOrderIntel);
        Bytes file = OutputBytes();
        const auto chainEnd = static_cast<uint32_t>(file.size());
        if (c.baseShift > 0) file.resize(file.size() + static_cast<size_t>(c.baseShift), 0);  // another writer's
        const Bytes before = file;
        file.resize(file.size() + 70001, 0x5A);
        WriteOutput(file);
        FileHandle output;
        char identity[260] = "00000000:00000000:00000000";
        ASSERT_EQ(output.OpenForRead(output_path_.c_str()), StatusOk);
        if (c.sameFile) {
            FileIdentity held;
            ASSERT_TRUE(output.Identity(&held));
            FormatFileIdentity(held, identity);
        }
        output.Close();
        WriteValue("Append Base", static_cast<uint32_t>(static_cast<int64_t>(chainEnd) + c.baseShift));
        WriteValueOfType("Append File", REG_SZ, identity, static_cast<DWORD>(strlen(identity) + 1));

        pages.push_back(MakePage({FormatGray8, 6, 3, 0}, 8));
        ASSERT_EQ(RunPages(pages, 2, true).status, 0);
        EXPECT_EQ(Run(CmdEndJob), 0);
        ExpectOutputHolds(pages, 3);
        Bytes after = OutputBytes();
        const size_t kept = c.reclaimed ? before.size() : file.size();
        ASSERT_GT(after.size(), kept);
        // Reclaimed, the new page lies where the cut-off bytes were.
        if (c.reclaimed) {
            EXPECT_LT(after.size(), file.size());
        }
        size_t changed = 0;
        for (size_t i = 0; i < kept; ++i) changed += file[i] != after[i];
        EXPECT_LE(changed, 4u) << "only the last next-directory field changes";
        uint32_t base = 0;
        EXPECT_FALSE(ReadValue("Append Base", &base)) << "the record goes with the commit";
    }
}

// Damaged files, each made from a good two-page Intel file (page 1's
// directory at 8 with 14 entries, its next field at 178; page 2 behind it).

uint32_t SecondDirectory(const Bytes& file) { return GetLong(file.data() + 178, ByteOrderIntel); }

// The entry with `tag` in the directory at `directory`.
uint8_t* EntryOf(Bytes& file, uint32_t directory, uint16_t tag) {
    uint32_t entries = GetShort(file.data() + directory, ByteOrderIntel);
    for (uint32_t i = 0; i < entries; ++i) {
        uint8_t* entry = file.data() + directory + 2 + 12 * i;
        if (GetShort(entry, ByteOrderIntel) == tag) return entry;
    }
    ADD_FAILURE() << "no tag " << tag;
    static uint8_t scratch[12];
    return scratch;
}

const DamageCase kDamage[] = {
    {"Empty", [](Bytes& f) { f.clear(); }},
    {"HeaderOnly", [](Bytes& f) { f.resize(8); }},
    {"FirstDirectoryPastTheEnd",
     [](Bytes& f) { PutLong(f.data() + 4, static_cast<uint32_t>(f.size()) + 64, ByteOrderIntel); }},
    {"FirstDirectoryOdd", [](Bytes& f) { PutLong(f.data() + 4, 9, ByteOrderIntel); }},
    {"FirstDirectoryZero", [](Bytes& f) { PutLong(f.data() + 4, 0, ByteOrderIntel); }},
    {"EntryCountOverruns", [](Bytes& f) { PutShort(f.data() + 8, 0xFFFF, ByteOrderIntel); }},
    {"NextDirectoryPastTheEnd",
     [](Bytes& f) { PutLong(f.data() + 178, static_cast<uint32_t>(f.size()) + 2, ByteOrderIntel); }},
    {"NextDirectoryInsideTheLastEntry",
     [](Bytes& f) { PutLong(f.data() + 178, static_cast<uint32_t>(f.size()) - 4, ByteOrderIntel); }},
    {"ChainPointsAtItself", [](Bytes& f) { PutLong(f.data() + 178, 8, ByteOrderIntel); }},
    {"ChainLoopsBack",
     [](Bytes& f) {
         uint32_t second = SecondDirectory(f);
         uint32_t entries = GetShort(f.data() + second, ByteOrderIntel);
         PutLong(f.data() + second + 2 + 12 * entries, 8, ByteOrderIntel);
     }},
    {"LastStripCutShort", [](Bytes& f) { f.resize(f.size() - 10); }},
    {"LastFiftyBytesCut", [](Bytes& f) { f.resize(f.size() - 50); }},
    {"FirstStripPastTheEnd",
     [](Bytes& f) { PutLong(EntryOf(f, 8, TagStripByteCounts) + 8, static_cast<uint32_t>(f.size()), ByteOrderIntel); }},
    {"ValueAreaPastTheEnd",
     [](Bytes& f) { PutLong(EntryOf(f, 8, TagXResolution) + 8, static_cast<uint32_t>(f.size()) - 4, ByteOrderIntel); }},
    {"StripOffsetsOfTypeThirtyTwo",
     [](Bytes& f) { PutShort(EntryOf(f, SecondDirectory(f), TagStripOffsets) + 2, 32, ByteOrderIntel); }},
    {"UndefinedTypeOnTheFirstPage",
     [](Bytes& f) { PutShort(EntryOf(f, 8, TagResolutionUnit) + 2, 0, ByteOrderIntel); }},
    {"StripOffsetsAndCountsDoNotPair",
     [](Bytes& f) { PutLong(EntryOf(f, SecondDirectory(f), TagStripOffsets) + 4, 2, ByteOrderIntel); }},
    {"Long8InAClassicFile", [](Bytes& f) { PutShort(EntryOf(f, 8, TagStripByteCounts) + 2, 16, ByteOrderIntel); }},
};

class DamagedFile : public ContinueFile, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedFile, IsRefusedUntouched) {
    WriteTwoPageFile(ByteOrderIntel);
    ExpectRefusedUntouched(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedFile, ::testing::ValuesIn(kDamage),
                         [](const auto& info) { return std::string(info.param.name); });

// Damaged BigTIFF files, each made from a good two-page Intel BigTIFF file
// (page 1's directory at 16 with 14 entries of 20 bytes, its next field at
// 304; page 2 behind it).
constexpr uint32_t kBigNextField = 16 + 8 + 20 * 14;
constexpr int32_t kIntel = ByteOrderIntel;

uint64_t BigSecondDirectory(const Bytes& file) { return GetUnsigned(file.data() + kBigNextField, 8, kIntel); }

uint8_t* BigEntryOf(Bytes& file, uint64_t directory, uint16_t tag) {
    const uint64_t entries = GetUnsigned(file.data() + directory, 8, kIntel);
    for (uint64_t i = 0; i < entries; ++i) {
        uint8_t* entry = file.data() + directory + 8 + 20 * i;
        if (GetShort(entry, kIntel) == tag) return entry;
    }
    ADD_FAILURE() << "no tag " << tag;
    static uint8_t scratch[20];
    return scratch;
}

void PutWide(uint8_t* at, uint64_t value) { PutUnsigned(at, value, 8, kIntel); }

const DamageCase kBigDamage[] = {
    {"HeaderCutShort", [](Bytes& f) { f.resize(12); }},
    {"OffsetSizeFour", [](Bytes& f) { PutShort(f.data() + 4, 4, kIntel); }},
    {"ReservedNotZero", [](Bytes& f) { PutShort(f.data() + 6, 1, kIntel); }},
    {"FirstDirectoryPastTheEnd", [](Bytes& f) { PutWide(f.data() + 8, f.size() + 64); }},
    {"FirstDirectoryFarBeyond", [](Bytes& f) { PutWide(f.data() + 8, uint64_t{1} << 63); }},
    {"EntryCountOverruns", [](Bytes& f) { PutWide(f.data() + 16, 0xFFFF); }},
    {"EntryCountPastSixteenBits", [](Bytes& f) { PutWide(f.data() + 16, 0x10000 + 14); }},
    {"NextDirectoryPastTheEnd", [](Bytes& f) { PutWide(f.data() + kBigNextField, f.size() + 2); }},
    {"ChainLoopsBack",
     [](Bytes& f) {
         const uint64_t second = BigSecondDirectory(f);
         PutWide(f.data() + second + 8 + 20 * GetUnsigned(f.data() + second, 8, kIntel), 16);
     }},
    {"LastStripCutShort", [](Bytes& f) { f.resize(f.size() - 10); }},
    {"StripPastTheEnd", [](Bytes& f) { PutWide(BigEntryOf(f, 16, TagStripByteCounts) + 12, uint64_t{1} << 40); }},
    {"StripOffsetWrapsAround", [](Bytes& f) { PutWide(BigEntryOf(f, 16, TagStripOffsets) + 12, UINT64_MAX - 4); }},
    {"ValueCountPastTheFile", [](Bytes& f) { PutWide(BigEntryOf(f, 16, TagResolutionUnit) + 4, uint64_t{1} << 61); }},
    {"TypeFifteenUndefined", [](Bytes& f) { PutShort(BigEntryOf(f, 16, TagResolutionUnit) + 2, 15, kIntel); }},
};

class DamagedBigTiff : public ContinueFile, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedBigTiff, IsRefusedUntouched) {
    WriteTwoPageFile(ByteOrderIntel, FileKindBigTiff);
    ASSERT_EQ(GetShort(OutputBytes().data() + 2, kIntel), 43u);
    ExpectRefusedUntouched(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedBigTiff, ::testing::ValuesIn(kBigDamage),
                         [](const auto& info) { return std::string(info.param.name); });

// A file of the other kind than the settings ask is refused before anything
// is written, with the message that names its kind; with the settings of
// its kind it takes the page.
TEST_F(ContinueFile, NoAppendConvertsAFile) {
    for (uint32_t kind : {uint32_t{FileKindClassic}, uint32_t{FileKindBigTiff}}) {
        SCOPED_TRACE(kind);
        std::vector<HostPage> pages = WriteTwoPageFile(ByteOrderMotorola, kind);
        const Bytes before = OutputBytes();
        WriteValue("BigTIFF", kind == FileKindBigTiff ? FileKindClassic : FileKindBigTiff);
        platform::testing::MessageBoxes().clear();
        const HostPage page = MakePage({FormatBilevel, 9, 4, 0}, 8);
        JobOutcome outcome = RunOnePage(page, true);
        EXPECT_EQ(outcome.status, StatusNotAppendable);
        EXPECT_EQ(outcome.command, CmdPreparePage);
        ExpectMessageFor(StatusNotAppendable,
                         kind == FileKindBigTiff ? FailureNote::FileIsBigTiff : FailureNote::FileIsClassic);
        EXPECT_EQ(Run(CmdEndJob), 0);
        EXPECT_EQ(OutputBytes(), before);
        WriteValue("BigTIFF", kind);
        ASSERT_EQ(RunOnePage(page, true).status, 0);
        pages.push_back(page);
        EXPECT_EQ(Run(CmdEndJob), 0);
        ExpectOutputHolds(pages, 3);
    }
}

}  // namespace
}  // namespace reliability
