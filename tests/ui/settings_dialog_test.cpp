// The settings dialog through the entry point (CmdSettings): what it shows,
// what each way of closing it leaves in the registry, where it opens, the
// settings text given back to the host, and allocation failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_test_support.h"
#include "support/plugin_fixture.h"
#include "ui/details_dialog.h"

using platform::testing::ClickButton;
using platform::testing::CloseWindow;
using platform::testing::SelectComboEntry;
using ui_test::Opened;
using ui_test::PlayUser;
using ui_test::ResourceText;

namespace {

constexpr uint32_t kIntel = 18761;
constexpr uint32_t kMotorola = 19789;

// List position of the shipped entry with compression value `value` in the
// list whose count is string `countId` (entries follow it).
int ShippedEntryIndex(int value, UINT countId = IDS_COMPRESSION_COUNT) {
    const int count = std::atoi(ResourceText(countId).c_str());
    for (int j = 0; j < count; ++j) {
        if (std::atoi(ResourceText(countId + 1 + j).c_str()) == value) return j;
    }
    return -1;
}

class SettingsDialogTest : public test_support::PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_EQ(Run(CmdInitialize), StatusOk);
    }
    void TearDown() override {
        platform::testing::SetScreenSize(1024, 768);
        PluginTest::TearDown();
    }
    std::string SettingsText() const { return host_.request.settingsText; }
    uint32_t Value(const char* name) const {
        uint32_t value = 0xDEADBEEF;
        ReadValue(name, &value);
        return value;
    }
};

TEST_F(SettingsDialogTest, ShippedListHoldsNoneAndGroup4) {
    Opened opened;
    PlayUser(&opened);
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    ASSERT_EQ(opened.count, 1);
    EXPECT_EQ(opened.templateName, "DETAILS");
    EXPECT_GE(ShippedEntryIndex(1), 0);
    EXPECT_GE(ShippedEntryIndex(4), 0);
    EXPECT_EQ(opened.entries.size(), static_cast<size_t>(std::atoi(ResourceText(IDS_COMPRESSION_COUNT).c_str())));
    for (int value : {3, 65539, 32773}) EXPECT_GE(ShippedEntryIndex(value), 0) << value;
    for (int value : {1, 5, 8, 7, 32773}) EXPECT_GE(ShippedEntryIndex(value, IDS_COLOR_COMPRESSION_COUNT), 0) << value;
    for (int value : {90, 95, 75, 50}) EXPECT_GE(ShippedEntryIndex(value, IDS_JPEG_QUALITY_COUNT), 0) << value;
}

// Each way the user leaves the dialog, from stored Intel / none.
struct Ending {
    const char* name;
    std::function<void(HWND)> user;
    bool confirmed;
};
void PrintTo(const Ending& c, std::ostream* out) { *out << c.name; }

class SettingsEndingTest : public SettingsDialogTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(SettingsEndingTest, ChoicesStoredOnlyOnConfirmPositionAlways) {
    WriteValue("File Type", kIntel);
    WriteValue("Compression", 1);
    WriteValue("Color Compression", 1);
    const int group4 = ShippedEntryIndex(4);
    const int jpeg = ShippedEntryIndex(7, IDS_COLOR_COMPRESSION_COUNT);
    const int quality75 = ShippedEntryIndex(75, IDS_JPEG_QUALITY_COUNT);
    Opened opened;
    PlayUser(&opened, [&](HWND dialog) {
        ClickButton(dialog, IDC_BYTE_ORDER_MOTOROLA);
        SelectComboEntry(dialog, IDC_COMPRESSION_LIST, group4);
        SelectComboEntry(dialog, IDC_COLOR_COMPRESSION_LIST, jpeg);
        SelectComboEntry(dialog, IDC_JPEG_QUALITY_LIST, quality75);
        ClickButton(dialog, IDC_BIGTIFF);
        SetWindowPos(dialog, nullptr, 123, 45, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        if (GetParam().user) GetParam().user(dialog);
    });

    EXPECT_EQ(Run(CmdSettings), StatusOk);
    ASSERT_EQ(opened.count, 1);
    EXPECT_TRUE(platform::testing::MessageBoxes().empty());
    EXPECT_EQ(Value("Position X"), 123u);
    EXPECT_EQ(Value("Position Y"), 45u);
    if (GetParam().confirmed) {
        EXPECT_EQ(Value("File Type"), kMotorola);
        EXPECT_EQ(Value("Compression"), 4u);
        EXPECT_EQ(Value("Color Compression"), 7u);
        EXPECT_EQ(Value("JPEG Quality"), 75u);
        EXPECT_EQ(Value("BigTIFF"), uint32_t{FileKindBigTiff});
        // A settings text with the longest colour string, whole.
        EXPECT_EQ(SettingsText(), ResourceText(IDS_SETTINGS_MOTOROLA) + ResourceText(IDS_SETTINGS_GROUP4) +
                                      ResourceText(IDS_SETTINGS_COLOR_JPEG));
    } else {
        EXPECT_EQ(Value("File Type"), kIntel);
        EXPECT_EQ(Value("Compression"), 1u);
        EXPECT_EQ(Value("Color Compression"), 1u);
        EXPECT_FALSE(HasValue("BigTIFF"));
        EXPECT_EQ(SettingsText(), ResourceText(IDS_SETTINGS_INTEL) + ResourceText(IDS_SETTINGS_UNCOMPRESSED));
    }
}

// The BigTIFF box shows the stored kind (any value but BigTIFF's is
// classic) and stores what it shows on OK.
TEST_F(SettingsDialogTest, BigTiffBoxShownFromTheStoredValue) {
    for (uint32_t stored : {uint32_t{FileKindClassic}, uint32_t{FileKindBigTiff}, 7u}) {
        SCOPED_TRACE(stored);
        WriteValue("BigTIFF", stored);
        UINT shown = 0;
        Opened opened;
        PlayUser(&opened, [&](HWND dialog) {
            shown = IsDlgButtonChecked(dialog, IDC_BIGTIFF);
            ClickButton(dialog, IDOK);
        });
        EXPECT_EQ(Run(CmdSettings), StatusOk);
        EXPECT_EQ(shown, stored == FileKindBigTiff ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(Value("BigTIFF"), stored == FileKindBigTiff ? uint32_t{FileKindBigTiff} : uint32_t{FileKindClassic});
    }
}

INSTANTIATE_TEST_SUITE_P(Endings, SettingsEndingTest,
                         ::testing::Values(Ending{"Ok", [](HWND d) { ClickButton(d, IDOK); }, true},
                                           Ending{"Cancel", [](HWND d) { ClickButton(d, IDCANCEL); }, false},
                                           Ending{"CloseBox", [](HWND d) { CloseWindow(d); }, false},
                                           // The driver walks away: the dialog is closed for it.
                                           Ending{"NoAnswer", nullptr, false}),
                         [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

TEST_F(SettingsDialogTest, CancelWithNothingStoredCreatesOnlyThePosition) {
    Opened opened;
    PlayUser(&opened, [](HWND dialog) {
        ClickButton(dialog, IDC_BYTE_ORDER_MOTOROLA);
        ClickButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    EXPECT_EQ(opened.intel, static_cast<UINT>(BST_CHECKED));
    EXPECT_FALSE(HasValue("File Type"));
    EXPECT_FALSE(HasValue("Compression"));
    EXPECT_TRUE(HasValue("Position X"));
    EXPECT_TRUE(HasValue("Position Y"));
    EXPECT_EQ(SettingsText(), ResourceText(IDS_SETTINGS_INTEL) + ResourceText(IDS_SETTINGS_UNCOMPRESSED));
}

TEST_F(SettingsDialogTest, ByteOrderShownFromTheStoredValue) {
    struct Case {
        uint32_t stored;
        bool intelShown;
        uint32_t storedOnOk;
    };
    for (const Case& c : {Case{kIntel, true, kIntel}, Case{kMotorola, false, kMotorola}, Case{12345, false, kMotorola},
                          Case{0, false, kMotorola}}) {
        SCOPED_TRACE(c.stored);
        WriteValue("File Type", c.stored);
        Opened opened;
        PlayUser(&opened, [](HWND dialog) { ClickButton(dialog, IDOK); });
        EXPECT_EQ(Run(CmdSettings), StatusOk);
        EXPECT_EQ(opened.intel, c.intelShown ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(opened.motorola, c.intelShown ? BST_UNCHECKED : BST_CHECKED);
        EXPECT_EQ(Value("File Type"), c.storedOnOk);
    }
}

TEST_F(SettingsDialogTest, RadioButtonsStayMutuallyExclusive) {
    std::vector<std::pair<UINT, UINT>> seen;
    auto look = [&](HWND dialog) {
        seen.emplace_back(IsDlgButtonChecked(dialog, IDC_BYTE_ORDER_INTEL),
                          IsDlgButtonChecked(dialog, IDC_BYTE_ORDER_MOTOROLA));
    };
    Opened opened;
    PlayUser(&opened, [&](HWND dialog) {
        ClickButton(dialog, IDC_BYTE_ORDER_MOTOROLA);
        look(dialog);
        ClickButton(dialog, IDC_BYTE_ORDER_MOTOROLA);
        look(dialog);
        ClickButton(dialog, IDC_BYTE_ORDER_INTEL);
        look(dialog);
        ClickButton(dialog, IDOK);
    });
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    const std::vector<std::pair<UINT, UINT>> expected = {
        {BST_UNCHECKED, BST_CHECKED}, {BST_UNCHECKED, BST_CHECKED}, {BST_CHECKED, BST_UNCHECKED}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(Value("File Type"), kIntel);
}

TEST_F(SettingsDialogTest, StoredCompressionIsPreselected) {
    for (uint32_t stored : {1u, 4u, 3u, 65539u, 32773u}) {
        SCOPED_TRACE(stored);
        WriteValue("Compression", stored);
        Opened opened;
        PlayUser(&opened);
        EXPECT_EQ(Run(CmdSettings), StatusOk);
        EXPECT_EQ(opened.selection, ShippedEntryIndex(static_cast<int>(stored)));
    }
    const struct {
        const char* value;
        int control;
        UINT list;
        std::vector<uint32_t> stored;
    } lists[] = {
        {"Color Compression", IDC_COLOR_COMPRESSION_LIST, IDS_COLOR_COMPRESSION_COUNT, {1u, 5u, 8u, 7u, 32773u}},
        {"JPEG Quality", IDC_JPEG_QUALITY_LIST, IDS_JPEG_QUALITY_COUNT, {95u, 50u, 90u}},
    };
    for (const auto& list : lists) {
        for (uint32_t stored : list.stored) {
            SCOPED_TRACE(std::string(list.value) + " " + std::to_string(stored));
            WriteValue(list.value, stored);
            int selection = -2;
            Opened opened;
            PlayUser(&opened, [&](HWND dialog) {
                selection = platform::testing::ComboSelection(dialog, list.control);
                ClickButton(dialog, IDCANCEL);
            });
            EXPECT_EQ(Run(CmdSettings), StatusOk);
            EXPECT_EQ(selection, ShippedEntryIndex(static_cast<int>(stored), list.list));
        }
    }
    // A value the list does not hold selects the first entry; OK then stores
    // that entry's value.
    WriteValue("Compression", 7);
    Opened opened;
    PlayUser(&opened, [](HWND dialog) { ClickButton(dialog, IDOK); });
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    EXPECT_EQ(opened.selection, 0);
    EXPECT_EQ(Value("Compression"), static_cast<uint32_t>(std::atoi(ResourceText(IDS_COMPRESSION_FIRST).c_str())));
}

TEST_F(SettingsDialogTest, OpensCentredWithoutKeyAtTenTenWithEmptyKeyThenWhereLeft) {
    // No key at all: centred on the 1024 x 768 screen.
    Opened first;
    PlayUser(&first, [](HWND dialog) { SetWindowPos(dialog, nullptr, 300, 200, 0, 0, SWP_NOSIZE); });
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    const LONG width = first.rect.right - first.rect.left;
    const LONG height = first.rect.bottom - first.rect.top;
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);
    EXPECT_EQ(first.rect.left, (1024 - width) / 2);
    EXPECT_EQ(first.rect.top, (768 - height) / 2);

    // Closed at (300, 200): reopens there, same size.
    Opened second;
    PlayUser(&second);
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    EXPECT_EQ(second.rect.left, 300);
    EXPECT_EQ(second.rect.top, 200);
    EXPECT_EQ(second.rect.right - second.rect.left, width);

    // A key without position values: (10, 10).
    host_.SetKeyPath("Software\\ZeduzTests\\Other");
    WriteValue("Compression", 1);
    Opened third;
    PlayUser(&third);
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    EXPECT_EQ(third.rect.left, 10);
    EXPECT_EQ(third.rect.top, 10);
}

TEST_F(SettingsDialogTest, StoredPositionIsUsedUnchangedEvenOffScreen) {
    for (int32_t x : {-5000, 2000000000}) {
        SCOPED_TRACE(x);
        WriteValue("Position X", static_cast<uint32_t>(x));
        WriteValue("Position Y", static_cast<uint32_t>(-7));
        Opened opened;
        PlayUser(&opened);
        EXPECT_EQ(Run(CmdSettings), StatusOk);
        EXPECT_EQ(opened.rect.left, x);
        EXPECT_EQ(opened.rect.top, -7);
        EXPECT_EQ(static_cast<int32_t>(Value("Position X")), x);
    }
}

TEST_F(SettingsDialogTest, CentringUses16BitScreenSizeAndTruncatesTowardZero) {
    struct Case {
        int screenWidth;
        int screenHeight;
    };
    for (const Case& c : {Case{101, 51}, Case{70000, 768}, Case{1025, 769}}) {
        SCOPED_TRACE(c.screenWidth);
        platform::testing::SetScreenSize(c.screenWidth, c.screenHeight);
        Opened opened;
        PlayUser(&opened);
        EXPECT_EQ(Run(CmdSettings), StatusOk);
        const int width = opened.rect.right - opened.rect.left;
        const int height = opened.rect.bottom - opened.rect.top;
        EXPECT_EQ(opened.rect.left, static_cast<int16_t>((static_cast<int16_t>(c.screenWidth) - width) / 2));
        EXPECT_EQ(opened.rect.top, static_cast<int16_t>((static_cast<int16_t>(c.screenHeight) - height) / 2));
        // Each run stores a position; forget it so the next one centres again.
        host_.SetKeyPath("Software\\ZeduzTests\\Centre" + std::to_string(c.screenWidth));
    }
}

TEST_F(SettingsDialogTest, DialogObjectAllocationFailureGivesNoMemoryAndTheBox) {
    WriteValue("File Type", kMotorola);
    Opened opened;
    PlayUser(&opened);
    platform::testing::FailCalls(platform::testing::Service::ObjectAlloc, 1);
    EXPECT_EQ(Run(CmdSettings), StatusNoMemory);
    EXPECT_EQ(opened.count, 0);
    ASSERT_EQ(platform::testing::MessageBoxes().size(), 1u);
    EXPECT_EQ(platform::testing::MessageBoxes()[0].text, ResourceText(IDS_MESSAGE_NO_MEMORY));
    EXPECT_FALSE(HasValue("Position X"));
    // The next attempt works.
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    EXPECT_EQ(opened.count, 1);
}

TEST_F(SettingsDialogTest, ChoiceAllocationFailureOpensEmptyAtTemplatePosition) {
    WriteValue("Compression", 4);
    WriteValue("Position X", 300);
    WriteValue("Position Y", 200);
    Opened opened;
    PlayUser(&opened, [](HWND dialog) {
        ClickButton(dialog, IDC_BYTE_ORDER_MOTOROLA);
        ClickButton(dialog, IDOK);
    });
    // The dialog object is allocated, its list of choices is not.
    platform::testing::FailCalls(platform::testing::Service::ObjectAlloc, 1, 1);
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    ASSERT_EQ(opened.count, 1);
    EXPECT_TRUE(opened.entries.empty());
    EXPECT_EQ(opened.selection, CB_ERR);
    EXPECT_NE(opened.rect.left, 300);
    EXPECT_EQ(Value("File Type"), kMotorola);
    EXPECT_EQ(Value("Compression"), 4u);
    EXPECT_EQ(SettingsText(), ResourceText(IDS_SETTINGS_MOTOROLA) + ResourceText(IDS_SETTINGS_GROUP4));
}

TEST_F(SettingsDialogTest, MissingResourceLibraryTemplateCountsAsCancel) {
    // Without its template the dialog cannot open: nothing is stored and the
    // command still succeeds with the stored settings in the text.
    WriteValue("File Type", kMotorola);
    const HMODULE resources = ResourceModule();
    SetResourceModule(GetModuleHandleA(nullptr));  // the test program: no templates
    Opened opened;
    PlayUser(&opened);
    const uint16_t status = Run(CmdSettings);
    SetResourceModule(resources);
    EXPECT_EQ(status, StatusOk);
    EXPECT_EQ(opened.count, 0);
    EXPECT_FALSE(HasValue("Position X"));
}

}  // namespace

namespace {

TEST_F(SettingsDialogTest, OkWithANotificationCodeStillConfirms) {
    // An OK that reaches the procedure with a code in the high word (as from
    // an accelerator) is a confirmation all the same.
    Opened opened;
    PlayUser(&opened, [](HWND dialog) {
        ClickButton(dialog, IDC_BYTE_ORDER_MOTOROLA);
        DetailsDialogProc(dialog, WM_COMMAND, (WPARAM{1} << 16) | IDOK, 0);
    });
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    EXPECT_EQ(Value("File Type"), kMotorola);
}

TEST_F(SettingsDialogTest, ControlCallsOnAClosedDialogFailSafely) {
    HWND kept = nullptr;
    Opened opened;
    PlayUser(&opened, [&](HWND dialog) {
        kept = dialog;
        ClickButton(dialog, IDCANCEL);
        // Ended: the user's further clicks reach nothing.
        ClickButton(dialog, IDOK);
    });
    EXPECT_EQ(Run(CmdSettings), StatusOk);
    EXPECT_FALSE(HasValue("File Type"));
    // The window is gone: every call with its handle fails without touching it.
    RECT rect = {1, 2, 3, 4};
    EXPECT_FALSE(GetWindowRect(kept, &rect));
    EXPECT_EQ(rect.left, 1);
    EXPECT_FALSE(EndDialog(kept, IDOK));
    EXPECT_FALSE(CheckDlgButton(kept, IDC_BYTE_ORDER_INTEL, BST_CHECKED));
    EXPECT_EQ(SendDlgItemMessageA(kept, IDC_COMPRESSION_LIST, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(GetWindowLongPtrA(kept, DWLP_USER), 0);
    EXPECT_FALSE(platform::testing::IsDialogOpen(kept));
    // Messages that arrive before the dialog object is known are ignored.
    EXPECT_EQ(DetailsDialogProc(kept, WM_COMMAND, IDOK, 0), FALSE);
}

}  // namespace
