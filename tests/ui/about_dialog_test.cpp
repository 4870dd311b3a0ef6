// The About box through the entry point (CmdAbout).
#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "support/plugin_fixture.h"

using platform::testing::ClickButton;
using platform::testing::CloseWindow;
using ui_test::Opened;
using ui_test::PlayUser;

namespace {

class AboutDialogTest : public test_support::PluginTest {};

TEST_F(AboutDialogTest, OpensCentredAndClosesEveryWay) {
    const std::function<void(HWND)> endings[] = {
        [](HWND d) { ClickButton(d, IDOK); },
        [](HWND d) { ClickButton(d, IDCANCEL); },
        [](HWND d) { CloseWindow(d); },
        nullptr,
    };
    int run = 0;
    for (const auto& ending : endings) {
        SCOPED_TRACE(run++);
        bool stillOpenAfterEnding = true;
        Opened opened;
        PlayUser(&opened, [&](HWND dialog) {
            if (!ending) return;
            ending(dialog);
            stillOpenAfterEnding = platform::testing::IsDialogOpen(dialog);
        });
        EXPECT_EQ(Run(CmdAbout), StatusOk);
        ASSERT_EQ(opened.count, 1);
        EXPECT_EQ(opened.templateName, "ABOUT");
        if (ending) {
            EXPECT_FALSE(stillOpenAfterEnding);
        }
        const LONG width = opened.rect.right - opened.rect.left;
        const LONG height = opened.rect.bottom - opened.rect.top;
        ASSERT_GT(width, 0);
        EXPECT_EQ(opened.rect.left, (1024 - width) / 2);
        EXPECT_EQ(opened.rect.top, (768 - height) / 2);
    }
    EXPECT_TRUE(platform::testing::MessageBoxes().empty());
    // The About box neither reads nor stores anything.
    EXPECT_FALSE(KeyExists());
}

TEST_F(AboutDialogTest, IgnoresOtherCommandsAndAStoredPosition) {
    WriteValue("Position X", 10);
    WriteValue("Position Y", 10);
    Opened opened;
    bool openAfterOtherCommand = false;
    PlayUser(&opened, [&](HWND dialog) {
        ClickButton(dialog, IDC_BYTE_ORDER_INTEL);  // not a control of the box
        openAfterOtherCommand = platform::testing::IsDialogOpen(dialog);
        ClickButton(dialog, IDOK);
    });
    EXPECT_EQ(Run(CmdAbout), StatusOk);
    EXPECT_TRUE(openAfterOtherCommand);
    EXPECT_NE(opened.rect.left, 10);
}

TEST_F(AboutDialogTest, AllocationFailureGivesNoMemoryAndTheBox) {
    ASSERT_EQ(Run(CmdInitialize), StatusOk);
    Opened opened;
    PlayUser(&opened);
    platform::testing::FailCalls(platform::testing::Service::ObjectAlloc, 1);
    EXPECT_EQ(Run(CmdAbout), StatusNoMemory);
    EXPECT_EQ(opened.count, 0);
    ASSERT_EQ(platform::testing::MessageBoxes().size(), 1u);
    EXPECT_EQ(platform::testing::MessageBoxes()[0].text, ui_test::ResourceText(IDS_MESSAGE_NO_MEMORY));
}

}  // namespace
