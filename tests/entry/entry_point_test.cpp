// The plug-in boundary: command routing, statuses, message boxes,
// the resource library, and CmdInitialize's texts.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "entry/entry_point.h"
#include "entry/status_message.h"
#include "resources/resource_ids.h"
#include "support/plugin_fixture.h"
#include "ui/resource_strings.h"

using test_support::PluginTest;

namespace {

std::string ResourceText(UINT id) {
    char text[512];
    LoadResourceString(id, text, sizeof(text));
    return text;
}

class EntryPointTest : public PluginTest {};

TEST_F(EntryPointTest, UnknownCommandsAnswer211WithoutBoxOrBinding) {
    for (int32_t command : {9, -1, 0x7FFF, 100}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(Run(command), StatusUnknownCommand);
    }
    EXPECT_TRUE(platform::testing::MessageBoxes().empty());
    EXPECT_FALSE(KeyExists());
    // Not even a request is needed to be told the command is unknown.
    EXPECT_EQ(ZUVadeZoduv(9, nullptr), StatusUnknownCommand);
}

TEST_F(EntryPointTest, OnlyTheLow16BitsOfTheCommandCount) {
    host_.image.bitsPerPixel = 8;
    host_.image.samplesPerPixel = 1;
    host_.image.colorKind = ColorGray;
    // 0x10002 is CmdPreparePage: it stores the classified format.
    EXPECT_EQ(Run(0x10002), StatusOk);
    uint32_t format = 0;
    EXPECT_TRUE(ReadValue("ImageFormat", &format));
    EXPECT_EQ(format, 2008u);
    // 0x10009 is still unknown.
    EXPECT_EQ(Run(0x10009), StatusUnknownCommand);
}

TEST_F(EntryPointTest, FirstCallWithUnknownCommandCreatesTheObjectOnce) {
    EXPECT_EQ(Run(9), StatusUnknownCommand);
    EXPECT_EQ(platform::testing::CallCount(platform::testing::Service::ObjectAlloc), 1);
    EXPECT_EQ(Run(CmdInitialize), StatusOk);
    EXPECT_EQ(platform::testing::CallCount(platform::testing::Service::ObjectAlloc), 1);
}

TEST_F(EntryPointTest, FailedObjectAllocationShowsTheBoxAndIsRetried) {
    platform::testing::FailCalls(platform::testing::Service::ObjectAlloc, 1);
    EXPECT_EQ(Run(CmdInitialize), StatusNoMemory);
    ASSERT_EQ(platform::testing::MessageBoxes().size(), 1u);
    EXPECT_EQ(platform::testing::MessageBoxes()[0].text, ResourceText(IDS_MESSAGE_NO_MEMORY));
    EXPECT_EQ(platform::testing::MessageBoxes()[0].caption, ResourceText(IDS_MESSAGE_CAPTION));
    EXPECT_EQ(Run(CmdInitialize), StatusOk);
}

TEST_F(EntryPointTest, WithoutTheResourceLibraryEveryCommandAnswers213) {
    PluginProcessDetach();
    // A module whose directory holds no resource library: the C library.
    HMODULE elsewhere = nullptr;
    ASSERT_TRUE(
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&strlen), &elsewhere));
    PluginProcessAttach(elsewhere);
    for (int32_t command = -1; command <= 9; ++command) {
        SCOPED_TRACE(command);
        EXPECT_EQ(Run(command), StatusNoResources);
    }
    EXPECT_TRUE(platform::testing::MessageBoxes().empty());
    EXPECT_EQ(platform::testing::CallCount(platform::testing::Service::ObjectAlloc), 0);
}

TEST_F(EntryPointTest, MissingRecordsAreRefusedNotFollowed) {
    EXPECT_EQ(ZUVadeZoduv(CmdInitialize, nullptr), StatusBadRecord);
    host_.request.target = nullptr;
    EXPECT_EQ(Run(CmdEndJob), StatusBadRecord);
    host_.request.target = &host_.target;
    host_.target.image = nullptr;
    for (int32_t command : {CmdPreparePage, CmdWritePalette, CmdBeginPage, CmdWriteBand}) {
        EXPECT_EQ(Run(command), StatusBadRecord) << command;
    }
    EXPECT_FALSE(KeyExists());
}

// Which statuses become a message box, and with which text.
TEST(StatusMessageTable, BoxesForNoMemoryDiskFullAndFileErrors) {
    struct Case {
        PluginStatus status;
        UINT text;
    } cases[] = {
        {StatusOk, 0},
        {StatusNoMemory, IDS_MESSAGE_NO_MEMORY},
        {StatusDiskFull, IDS_MESSAGE_DISK_FULL},
        {StatusCreateFailed, IDS_MESSAGE_FILE_ERROR},
        {StatusOpenFailed, IDS_MESSAGE_FILE_ERROR},
        {StatusReadFailed, IDS_MESSAGE_FILE_ERROR},
        {StatusWriteFailed, IDS_MESSAGE_FILE_ERROR},
        {StatusCloseFailed, IDS_MESSAGE_FILE_ERROR},
        {StatusDeleteFailed, 0},
        {StatusSeekFailed, 0},
        {StatusUnsupportedImage, 0},
        {StatusUnknownCommand, 0},
        {StatusNoResources, 0},
        {StatusNotAppendable, IDS_MESSAGE_NOT_APPENDABLE},
        {StatusStateUnavailable, IDS_MESSAGE_STATE_UNAVAILABLE},
        {StatusEmptyPage, IDS_MESSAGE_EMPTY_PAGE},
        {StatusDialogOk, 0},
        {StatusDialogCancel, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(StatusMessageId(c.status), c.text) << c.status;
}

class InitializeTest : public PluginTest {};

TEST_F(InitializeTest, FillsTheTextsAndLeavesHostBytesAlone) {
    memset(host_.request.host0, 0xA5, sizeof(host_.request.host0));
    uint8_t* raw = reinterpret_cast<uint8_t*>(&host_.request);
    const size_t padding = offsetof(PluginRequest, stateKey) - (offsetof(PluginRequest, settingsText) + 260);
    memset(raw + offsetof(PluginRequest, settingsText) + 260, 0x5A, padding);
    host_.target.multiPage = 7;
    host_.target.auxFlag = 7;

    ASSERT_EQ(Run(CmdInitialize), StatusOk);

    EXPECT_EQ(std::string(host_.request.formatName), ResourceText(IDS_FORMAT_NAME));
    EXPECT_EQ(std::string(host_.request.formatComment), ResourceText(IDS_FORMAT_COMMENT));
    EXPECT_EQ(std::string(host_.target.extension), ResourceText(IDS_FILE_EXTENSION).substr(0, 7));
    EXPECT_EQ(host_.request.filledFlag, 1);
    EXPECT_EQ(host_.target.multiPage, 1);
    EXPECT_EQ(host_.target.auxFlag, 0);
    for (uint8_t byte : host_.request.host0) ASSERT_EQ(byte, 0xA5);
    for (size_t i = 0; i < padding; ++i) EXPECT_EQ(raw[offsetof(PluginRequest, settingsText) + 260 + i], 0x5A);
}

TEST_F(InitializeTest, DefaultsComeFromNothingAndAreNotWrittenBack) {
    ASSERT_EQ(Run(CmdInitialize), StatusOk);
    EXPECT_EQ(std::string(host_.request.settingsText),
              ResourceText(IDS_SETTINGS_INTEL) + ResourceText(IDS_SETTINGS_UNCOMPRESSED));
    EXPECT_FALSE(KeyExists());
}

TEST_F(InitializeTest, SettingsTextFollowsTheStoredChoices) {
    struct Case {
        uint32_t byteOrder;
        uint32_t compression;
        UINT first;
        UINT second;
    } cases[] = {
        {18761, 1, IDS_SETTINGS_INTEL, IDS_SETTINGS_UNCOMPRESSED},
        {19789, 4, IDS_SETTINGS_MOTOROLA, IDS_SETTINGS_GROUP4},
        {19789, 1, IDS_SETTINGS_MOTOROLA, IDS_SETTINGS_UNCOMPRESSED},
        {18761, 4, IDS_SETTINGS_INTEL, IDS_SETTINGS_GROUP4},
        {12345, 7, IDS_SETTINGS_MOTOROLA, IDS_SETTINGS_GROUP4},  // anything else counts as the second choice
        {18761, 3, IDS_SETTINGS_INTEL, IDS_SETTINGS_GROUP3_1D},
        {19789, 65539, IDS_SETTINGS_MOTOROLA, IDS_SETTINGS_GROUP3_2D},
        {18761, 32773, IDS_SETTINGS_INTEL, IDS_SETTINGS_PACKBITS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.byteOrder);
        WriteValue("File Type", c.byteOrder);
        WriteValue("Compression", c.compression);
        ASSERT_EQ(Run(CmdInitialize), StatusOk);
        EXPECT_EQ(std::string(host_.request.settingsText), ResourceText(c.first) + ResourceText(c.second));
    }
}

TEST_F(InitializeTest, EveryResourceTextFitsItsRoom) {
    struct Room {
        UINT id;
        size_t characters;
    } rooms[] = {{IDS_MESSAGE_CAPTION, 31},     {IDS_FILE_EXTENSION, 7},           {IDS_FORMAT_NAME, 63},
                 {IDS_FORMAT_COMMENT, 63},      {IDS_MESSAGE_NO_MEMORY, 127},      {IDS_MESSAGE_DISK_FULL, 127},
                 {IDS_MESSAGE_FILE_ERROR, 127}, {IDS_MESSAGE_NOT_APPENDABLE, 127}, {IDS_MESSAGE_STATE_UNAVAILABLE, 127},
                 {IDS_MESSAGE_EMPTY_PAGE, 127}};
    for (const Room& room : rooms) {
        std::string text = ResourceText(room.id);
        EXPECT_FALSE(text.empty()) << room.id;
        EXPECT_LE(text.size(), room.characters) << room.id;
    }
    for (UINT first : {IDS_SETTINGS_INTEL, IDS_SETTINGS_MOTOROLA})
        for (UINT second : {IDS_SETTINGS_UNCOMPRESSED, IDS_SETTINGS_GROUP4, IDS_SETTINGS_GROUP3_1D,
                            IDS_SETTINGS_GROUP3_2D, IDS_SETTINGS_PACKBITS})
            EXPECT_LE(ResourceText(first).size() + ResourceText(second).size(), 259u);
}

}  // namespace
