// Character stepping in the ANSI code page, and the message box stand-in.
#include "platform/win32.h"
#include "platform_test_support.h"

namespace {

class CodePageTest : public test_support::PlatformTest {};

TEST_F(CodePageTest, SingleByteCodePageStepsOneByte) {
    const char text[] = "a\x81\\";
    EXPECT_FALSE(IsDBCSLeadByte(0x81));
    EXPECT_EQ(text + 1, CharNextA(text));
    EXPECT_EQ(text + 2, CharNextA(text + 1));
    EXPECT_EQ(text + 3, CharNextA(text + 3)) << "stays at the terminator";
}

TEST_F(CodePageTest, LeadBytesStepOverTheirTrailByte) {
    platform::testing::SetLeadBytes({0x81});
    const char text[] = "\x81\\x\x81";
    EXPECT_TRUE(IsDBCSLeadByte(0x81));
    EXPECT_FALSE(IsDBCSLeadByte('x'));
    EXPECT_EQ(text + 2, CharNextA(text)) << "the trail byte '\\' belongs to the character";
    EXPECT_EQ(text + 3, CharNextA(text + 2));
    EXPECT_EQ(text + 4, CharNextA(text + 3)) << "a lead byte right before the end";
    platform::testing::Reset();
    EXPECT_FALSE(IsDBCSLeadByte(0x81));
}

TEST_F(CodePageTest, MessageBoxIsRecorded) {
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "The disk is full.", "Multi-page TIFF", MB_OK | MB_ICONERROR));
    ASSERT_EQ(1u, platform::testing::MessageBoxes().size());
    EXPECT_EQ("Multi-page TIFF", platform::testing::MessageBoxes()[0].caption);
    EXPECT_EQ("The disk is full.", platform::testing::MessageBoxes()[0].text);
    platform::testing::Reset();
    EXPECT_TRUE(platform::testing::MessageBoxes().empty());
}

}  // namespace
