// Bad input from the host: commands out of order, a "TempFile" that is not
// this job's page file, bands wider than the page or with no rows at all, sizes
// out of range, an oversized palette, a key path too long for the registry,
// a registry that cannot be used, resource texts longer than their fields. Each gets a clear status and
// touches nothing it should not.
#include <filesystem>
#include <fstream>
#include <functional>

#include "reliability/reliability_job.h"
#include "resources/resource_ids.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class BadInput : public ReliabilityTest {
protected:
    void SetUp() override {
        ReliabilityTest::SetUp();
        UseSettings(ByteOrderIntel, 1);
    }
    void WriteString(const char* name, const std::string& value) {
        WriteValueOfType(name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
    }
    // A page that was begun and has its first `rows` rows written.
    void BeginWithRows(const HostPage& page, uint32_t rows) {
        ASSERT_EQ(Prepare(page.shape.format, false), 0);
        ASSERT_EQ(Begin(page), 0);
        if (!page.palette.empty()) {
            ASSERT_EQ(Palette(page), 0);
        }
        if (rows > 0) {
            ASSERT_EQ(Band(page, 0, rows), 0);
        }
    }
};

// Commands out of order are refused with StatusBadSequence and change
// nothing; the job ends cleanly afterwards.
struct SequenceCase {
    const char* name;
    std::function<uint16_t(BadInput&, const HostPage&)> run;  // returns the offending command's status
    size_t pagesInFile;                                       // once the job has ended
};
void PrintTo(const SequenceCase& c, std::ostream* out) { *out << c.name; }

class CommandOrder : public BadInput, public ::testing::WithParamInterface<SequenceCase> {
public:
    using BadInput::Band;
    using BadInput::Begin;
    using BadInput::Palette;
    using BadInput::Prepare;
    using BadInput::Run;
    using BadInput::RunOnePage;
};

const SequenceCase kSequences[] = {
    {"BandBeforeBeginPage",
     [](BadInput& t, const HostPage& p) {
         static_cast<CommandOrder&>(t).Prepare(p.shape.format, false);
         return static_cast<CommandOrder&>(t).Band(p, 0, 2);
     },
     0},
    {"PaletteBeforeBeginPage",
     [](BadInput& t, const HostPage& p) {
         static_cast<CommandOrder&>(t).Prepare(p.shape.format, false);
         return static_cast<CommandOrder&>(t).Palette(p);
     },
     0},
    {"EndPageWithNoPage",
     [](BadInput& t, const HostPage& p) {
         static_cast<CommandOrder&>(t).Prepare(p.shape.format, false);
         return static_cast<CommandOrder&>(t).Run(CmdEndPage);
     },
     0},
    {"EndPageTwice",
     [](BadInput& t, const HostPage& p) {
         static_cast<CommandOrder&>(t).RunOnePage(p, false);
         return static_cast<CommandOrder&>(t).Run(CmdEndPage);
     },
     1},
    {"BandAfterEndPage",
     [](BadInput& t, const HostPage& p) {
         static_cast<CommandOrder&>(t).RunOnePage(p, false);
         return static_cast<CommandOrder&>(t).Band(p, 0, 2);
     },
     1},
    {"PaletteAfterFirstBand",
     [](BadInput& t, const HostPage& p) {
         auto& c = static_cast<CommandOrder&>(t);
         c.Prepare(p.shape.format, false);
         c.Begin(p);
         c.Band(p, 0, 2);
         return c.Palette(p);
     },
     0},
    {"BeginPageAfterTheJobEnded",
     [](BadInput& t, const HostPage& p) {
         auto& c = static_cast<CommandOrder&>(t);
         c.RunOnePage(p, false);
         c.Run(CmdEndJob);
         return c.Begin(p);
     },
     1},
    {"BandAfterTheJobEnded",
     [](BadInput& t, const HostPage& p) {
         auto& c = static_cast<CommandOrder&>(t);
         c.Prepare(p.shape.format, false);
         c.Begin(p);
         c.Palette(p);
         c.Run(CmdEndJob);
         return c.Band(p, 0, 2);
     },
     0},
};

TEST_P(CommandOrder, IsRefusedAndTouchesNothing) {
    HostPage page = MakePage({FormatPalette8, 6, 4, 0}, 9);
    uint16_t status = GetParam().run(*this, page);
    EXPECT_EQ(status, StatusBadSequence);
    EXPECT_EQ(Run(CmdEndJob), 0);
    EXPECT_EQ(Run(CmdEndJob), 0);  // ending a job with nothing open
    ExpectNoLeftovers();
    ExpectOutputHolds({page}, GetParam().pagesInFile);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandOrder, ::testing::ValuesIn(kSequences),
                         [](const auto& info) { return std::string(info.param.name); });

// A "TempFile" that names anything but a page file in the temp directory is
// neither written, nor read as a page, nor deleted.
TEST_F(BadInput, ForeignTempFileIsNeverTouched) {
    const std::string temp = temp_.path() + "/";
    const std::vector<std::string> victims = {
        output_path_,                   // the output file itself
        output_.file("~TFVICTIM.TMP"),  // the prefix, in another directory
        temp + "VICTIM.TMP",            // the temp directory, another name
        temp + "~TFX/../VICTIM2.TMP",   // out of the temp directory
        "~TFVICTIM.TMP",                // relative: wherever the host runs
    };
    HostPage page = MakePage({FormatPalette8, 6, 4, 0}, 9);
    for (const std::string& victim : victims) {
        SCOPED_TRACE(victim);
        fs::create_directories(temp + "~TFX");
        const std::string content = "not a page file";
        std::string realVictim = victim == "~TFVICTIM.TMP" ? fs::current_path().string() + "/" + victim : victim;
        std::ofstream(realVictim, std::ios::binary) << content;
        for (int32_t command : {CmdWritePalette, CmdWriteBand, CmdEndPage}) {
            BeginWithRows(page, 0);
            WriteString("TempFile", victim);
            uint16_t status = command == CmdWritePalette ? Palette(page)
                              : command == CmdWriteBand  ? Band(page, 0, 2)
                                                         : Run(CmdEndPage);
            EXPECT_EQ(status, StatusBadSequence) << "command " << command;
            EXPECT_EQ(Run(CmdEndJob), 0);
            EXPECT_EQ(test_support::ReadWholeFile(realVictim), content) << "command " << command;
        }
        fs::remove(realVictim);
        fs::remove_all(temp + "~TFX");
    }
}

// A page file that is gone: the file primitive's status, nothing else.
TEST_F(BadInput, TempFileThatIsGone) {
    HostPage page = MakePage({FormatGray8, 6, 4, 0}, 9);
    for (int32_t command : {CmdWriteBand, CmdEndPage}) {
        BeginWithRows(page, 0);
        WriteString("TempFile", temp_.path() + "/~TFGONE.TMP");
        platform::testing::MessageBoxes().clear();
        uint16_t status = command == CmdWriteBand ? Band(page, 0, 2) : Run(CmdEndPage);
        EXPECT_EQ(status, StatusOpenFailed) << "command " << command;
        ExpectMessageFor(StatusOpenFailed);
        EXPECT_EQ(Run(CmdEndJob), 0);
    }
    ExpectOutputHolds({page}, 0);
}

// A page takes the rows the host delivers, whatever height BeginPage
// announced: bands beyond it extend the page, a page ended early keeps the
// rows it has. A page ended without a single row is not added: the output
// stays byte for byte as it was, no page file is left, the host is told with
// StatusEmptyPage and its message, and the job goes on.
struct RowsCase {
    const char* name;
    int32_t compression;
    std::vector<uint32_t> bands;  // rows per band, as the host sends them; the page announces 4
};
void PrintTo(const RowsCase& c, std::ostream* out) { *out << c.name; }

const RowsCase kRows[] = {
    {"OneBandPastTheHeight", 1, {6}},
    {"SecondBandRunsOver", 1, {3, 3, 1}},
    {"OneBandPastTheHeightGroup4", 4, {6}},
    {"SecondBandRunsOverGroup4", 4, {3, 3, 1}},
    {"NoRows", 1, {}},
    {"OnlyEmptyBands", 1, {0, 0}},
    {"NoRowsGroup4", 4, {}},
    {"OnlyEmptyBandsGroup4", 4, {0}},
};

class BandRows : public BadInput, public ::testing::WithParamInterface<RowsCase> {};

TEST_P(BandRows, PageHoldsTheRowsDelivered) {
    const RowsCase& c = GetParam();
    UseSettings(ByteOrderIntel, c.compression);
    HostPage first = MakePage({FormatGray8, 3, 2, 0}, 4);
    ASSERT_EQ(RunOnePage(first, false).status, 0);
    const Bytes before = OutputBytes();

    HostPage tall = MakePage({FormatBilevel, 21, 7, 0}, 3);
    uint32_t delivered = 0;
    for (uint32_t rows : c.bands) delivered += rows;
    HostPage page = tall;
    page.shape = {FormatBilevel, 21, delivered, 0, 4};
    page.expectedRgb16.resize(size_t{21} * delivered * 6);
    ASSERT_EQ(Prepare(FormatBilevel, true), 0);
    ASSERT_EQ(Begin(page), 0);
    uint32_t row = 0;
    for (uint32_t rows : c.bands) {
        ASSERT_EQ(Band(tall, row, rows), 0) << "band at row " << row;
        row += rows;
    }
    platform::testing::MessageBoxes().clear();
    uint16_t status = Run(CmdEndPage);
    ExpectMessageFor(status);
    if (delivered == 0) {
        EXPECT_EQ(status, StatusEmptyPage);
        EXPECT_EQ(OutputBytes(), before);
        EXPECT_EQ(FilesIn(temp_.path()), 0u);
        ASSERT_EQ(RunOnePage(first, true).status, 0);  // the job goes on
        page = first;
    } else {
        EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(Run(CmdEndJob), 0);
    ExpectNoLeftovers();
    ExpectOutputHolds({first, page}, 2);
}

INSTANTIATE_TEST_SUITE_P(Cases, BandRows, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Band records that cannot be the page's: refused before any pixel is read.
TEST_F(BadInput, BandRecordsThatAreNotThePages) {
    HostPage page = MakePage({FormatGray8, 8, 4, 0}, 2);
    BeginWithRows(page, 0);
    host_.image.width = 8;
    host_.image.pixels = page.Row(0);
    host_.image.rows = 0x7FFFFFFF;  // beyond any file; the buffer holds four rows
    EXPECT_EQ(Run(CmdWriteBand), StatusBadRecord);
    Bytes wide(4000 * 2, 0x11);
    host_.image.pixels = wide.data();
    host_.image.rows = 2;
    host_.image.width = 4000;  // wider than the page
    EXPECT_EQ(Run(CmdWriteBand), StatusBadRecord);
    ASSERT_EQ(Band(page, 0, 4), 0);
    ASSERT_EQ(Run(CmdEndPage), 0);
    ExpectOutputHolds({page}, 1);
}

// Page sizes out of range: refused before any allocation or file.
struct SizeCase {
    const char* name;
    int32_t format;
    uint32_t width, height;
    uint16_t status;
    int32_t colorCompression = CompressionNone;
};
void PrintTo(const SizeCase& c, std::ostream* out) { *out << c.name; }

const SizeCase kSizes[] = {
    {"ZeroWidth", FormatGray8, 0, 10, StatusBadRecord},
    {"ZeroHeight", FormatRgb24, 10, 0, StatusBadRecord},
    {"StripPastFourGigabytes", FormatRgb48, 30000, 30000, StatusWriteFailed},
    {"WidestPossible", FormatGray8, 0xFFFFFFFF, 1, StatusWriteFailed},
    {"TallestPossible", FormatBilevel, 8, 0xFFFFFFFF, StatusWriteFailed},
    // JPEG's own limit: a JPEG page is at most 65,500 pixels wide.
    {"WiderThanJpeg", FormatRgb24, 65501, 16, StatusUnsupportedImage, CompressionJpeg},
};

class PageSizes : public BadInput, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PageSizes, AreRefusedBeforeAnything) {
    const SizeCase& c = GetParam();
    HostPage page = MakePage({c.format, 1, 1, 0}, 1);
    page.shape.width = c.width;
    page.shape.height = c.height;
    UseSettings(ByteOrderIntel, CompressionNone, c.colorCompression);
    ASSERT_EQ(Prepare(c.format, false), 0);
    platform::testing::Reset();
    EXPECT_EQ(Begin(page), c.status);
    EXPECT_EQ(platform::testing::CallCount(platform::testing::Service::Alloc), 0);
    EXPECT_EQ(platform::testing::CallCount(platform::testing::Service::Create), 0);
    EXPECT_FALSE(HasValue("TempFile"));
    EXPECT_EQ(Run(CmdEndJob), 0);
    ExpectNoLeftovers();
}

INSTANTIATE_TEST_SUITE_P(Cases, PageSizes, ::testing::ValuesIn(kSizes),
                         [](const auto& info) { return std::string(info.param.name); });

// Pages wider or taller than a SHORT can say are written with LONG entries
// or refused; never with a width that readers take for another.
TEST_F(BadInput, PagesBeyondSixteenBits) {
    HostPage page = MakePage({FormatGray4, 70001, 2, 0}, 8);
    uint16_t status = RunOnePage(page, false).status;
    EXPECT_TRUE(status == 0 || status == StatusBadRecord) << status;
    EXPECT_EQ(Run(CmdEndJob), 0);
    ExpectOutputHolds({page}, status == 0 ? 1 : 0);
}

// A palette with more entries than the map has room for: the map takes
// what fits, and nothing beyond it is written.
TEST_F(BadInput, PaletteLargerThanTheMap) {
    for (int32_t format : {FormatPalette4, FormatPalette8}) {
        HostPage page = MakePage({format, 5, 3, 0}, 4);
        page.palette[0] = 0xFF;  // 65,535 entries claimed
        page.palette[1] = 0xFF;
        ASSERT_EQ(RunOnePage(page, false).status, 0);
        EXPECT_EQ(Run(CmdEndJob), 0);
        ExpectOutputHolds({page}, 1);
    }
}

// A key path that leaves no room for "\ZEDUZ-ORID" in 259 characters is an
// unusable record: refused before anything is created, in the registry or
// on the disk. 248 characters still work.
TEST_F(BadInput, KeyPathTooLongForTheRegistry) {
    HostPage page = MakePage({FormatGray8, 4, 2, 0}, 5);
    host_.SetKeyPath(std::string(249, 'k'));
    for (int32_t command : {CmdInitialize, CmdPreparePage, CmdBeginPage, CmdWriteBand, CmdEndPage, CmdEndJob}) {
        EXPECT_EQ(Run(command), StatusBadRecord) << "command " << command;
    }
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, std::string(249, 'k').c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, std::string(248, 'k').c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    ExpectNoLeftovers();
    EXPECT_FALSE(fs::exists(output_path_));

    host_.SetKeyPath(std::string(248, 'k'));
    UseSettings(ByteOrderIntel, 1);
    ASSERT_EQ(RunOnePage(page, false).status, 0);
    EXPECT_EQ(Run(CmdEndJob), 0);
    ExpectOutputHolds({page}, 1);
}

// A registry that cannot be used fails every command that needs the job's
// state with StatusStateUnavailable and its message, instead of running the job as
// if it had none: the page committed before stays, the next one is refused
// before anything is written, and nothing is left behind.
struct RegistryDamage {
    const char* name;
    std::function<void(const std::string& database)> damage;
};
void PrintTo(const RegistryDamage& c, std::ostream* out) { *out << c.name; }

class DamagedRegistry : public BadInput, public ::testing::WithParamInterface<RegistryDamage> {};

TEST_P(DamagedRegistry, JobCommandsFail) {
    HostPage first = MakePage({FormatGray8, 4, 2, 0}, 5);
    ASSERT_EQ(RunOnePage(first, false).status, 0);
    const std::string database = registry_.path() + "/registry.db";
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(database + suffix);
    GetParam().damage(database);
    platform::testing::MessageBoxes().clear();

    JobOutcome outcome = RunOnePage(MakePage({FormatGray8, 4, 2, 0}, 6), true);
    EXPECT_EQ(outcome.status, StatusStateUnavailable);
    EXPECT_EQ(outcome.command, CmdPreparePage);
    ExpectMessageFor(StatusStateUnavailable);
    for (int32_t command : {CmdInitialize, CmdBeginPage, CmdWriteBand, CmdEndPage, CmdEndJob}) {
        EXPECT_EQ(Run(command), StatusStateUnavailable) << "command " << command;
    }
    ExpectOutputHolds({first}, 1);
    ExpectNoLeftovers();
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedRegistry,
                         ::testing::Values(RegistryDamage{"garbage",
                                                          [](const std::string& database) {
                                                              std::ofstream(database, std::ios::binary)
                                                                  << std::string(4096, 'x');
                                                          }},
                                           RegistryDamage{"a directory in its place", [](const std::string& database) {
                                                              fs::create_directory(database);
                                                          }}));

// Resource texts longer than the fields they go into are cut to fit, and
// the host's bytes around the fields stay as they were.
TEST_F(BadInput, ResourceTextsLongerThanTheirRoom) {
    std::string library = (fs::path(test_support::BinDirectory()) / "UiTestResources.so").string();
    HMODULE resources = LoadLibraryA(library.c_str());
    ASSERT_NE(resources, nullptr) << library;
    using SetString = int (*)(unsigned, const char*);
    auto set =
        reinterpret_cast<SetString>(reinterpret_cast<void (*)()>(GetProcAddress(resources, "zeduz_test_set_string")));
    ASSERT_NE(set, nullptr);
    static const std::string kLong(400, 'x');
    for (unsigned id : {IDS_MESSAGE_CAPTION, IDS_FILE_EXTENSION, IDS_FORMAT_NAME, IDS_FORMAT_COMMENT,
                        IDS_SETTINGS_INTEL, IDS_SETTINGS_MOTOROLA, IDS_SETTINGS_UNCOMPRESSED, IDS_SETTINGS_GROUP4,
                        IDS_MESSAGE_NO_MEMORY, IDS_MESSAGE_DISK_FULL, IDS_MESSAGE_FILE_ERROR}) {
        set(id, kLong.c_str());
    }
    HMODULE original = ResourceModule();
    SetResourceModule(resources);

    PluginRequest& r = host_.request;
    memset(&r, 0xA5, offsetof(PluginRequest, stateKey));
    TargetFile& t = host_.target;
    memset(t.extension, 0xA5, sizeof(t.extension));
    EXPECT_EQ(Run(CmdInitialize), 0);
    EXPECT_EQ(std::string(r.formatName), kLong.substr(0, 63));
    EXPECT_EQ(std::string(r.formatComment), kLong.substr(0, 63));
    EXPECT_EQ(std::string(r.settingsText), kLong.substr(0, 259));
    EXPECT_EQ(std::string(t.extension), kLong.substr(0, 7));
    for (uint8_t byte : r.host0) EXPECT_EQ(byte, 0xA5);
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&r);
    for (size_t i = offsetof(PluginRequest, settingsText) + 260; i < offsetof(PluginRequest, stateKey); ++i)
        EXPECT_EQ(raw[i], 0xA5) << "byte " << i;

    platform::testing::MessageBoxes().clear();
    HostPage page = MakePage({FormatGray8, 4, 2, 0}, 5);
    BeginWithRows(page, 0);
    platform::testing::FailCalls(platform::testing::Service::Write, 1);
    EXPECT_EQ(Band(page, 0, 2), StatusWriteFailed);
    ASSERT_EQ(platform::testing::MessageBoxes().size(), 1u);
    EXPECT_EQ(platform::testing::MessageBoxes()[0].text, kLong.substr(0, 127));
    EXPECT_EQ(platform::testing::MessageBoxes()[0].caption, kLong.substr(0, 31));
    EXPECT_EQ(Run(CmdEndJob), 0);

    SetResourceModule(original);
    FreeLibrary(resources);
}

}  // namespace
}  // namespace reliability
